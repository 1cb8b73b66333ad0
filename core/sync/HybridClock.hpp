#pragma once

#include <cstdint>

namespace lumetra {

// A hybrid logical clock: stamps that follow the wall clock in milliseconds yet never go back
// and always come after every stamp seen, so that an edit made after seeing a value is stamped
// after it whatever the computers' clocks say. A stamp is the milliseconds since 1970 shifted
// up 16 bits, plus a counter for stamps in the same millisecond.
class HybridClock {
 public:
  static constexpr int counterBits = 16;
  // How far past the wall clock a stamp from another computer may carry this clock.
  static constexpr std::int64_t maxLeadMilliseconds = 60 * 60 * 1000;

  explicit HybridClock(std::int64_t last = 0) : last_(last) {}

  // A new stamp after the wall clock's `nowMs`, the last one given or seen, and `after`.
  [[nodiscard]] std::int64_t next(std::int64_t nowMs, std::int64_t after = 0);
  // Takes in another computer's stamp, so that later stamps come after it; one more than
  // maxLeadMilliseconds ahead of the wall clock carries it only that far.
  void observe(std::int64_t stamp, std::int64_t nowMs);

  [[nodiscard]] std::int64_t last() const { return last_; }
  [[nodiscard]] static std::int64_t milliseconds(std::int64_t stamp) { return stamp >> counterBits; }
  [[nodiscard]] static std::int64_t fromMilliseconds(std::int64_t ms) { return ms << counterBits; }

 private:
  std::int64_t last_;
};

}  // namespace lumetra
