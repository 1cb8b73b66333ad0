#pragma once

#include <cstddef>
#include <cstdint>

namespace lumetra {

// The seconds one project spent inside one span of a report; `running` when the open session
// is part of them.
struct PeriodTotal {
  std::size_t span = 0;
  std::int64_t projectId = 0;
  double seconds = 0;
  bool running = false;
};

}  // namespace lumetra
