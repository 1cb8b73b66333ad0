#include "sync/HybridClock.hpp"

#include <algorithm>

namespace lumetra {

std::int64_t HybridClock::next(std::int64_t nowMs, std::int64_t after) {
  last_ = std::max({fromMilliseconds(nowMs), last_ + 1, after + 1});
  return last_;
}

void HybridClock::observe(std::int64_t stamp, std::int64_t nowMs) {
  last_ = std::max(last_, std::min(stamp, fromMilliseconds(nowMs + maxLeadMilliseconds)));
}

}  // namespace lumetra
