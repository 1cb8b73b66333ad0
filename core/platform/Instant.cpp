#include "platform/Instant.hpp"

#include <chrono>

namespace lumetra {

Instant Instant::now() {
  using namespace std::chrono;
  return Instant(duration<double>(system_clock::now().time_since_epoch()).count());
}

}  // namespace lumetra
