#pragma once

#include <string>

namespace lumetra {

// The tracking engine: the running session, the heartbeat with its idle and sleep stops,
// recovery at start-up and resuming.
class Tracker {
 public:
  // How long after its end a tracked session may be resumed, in seconds.
  static constexpr double resumeWindow = 86'400;
  // The window as messages show it: whole hours and " hours" ("24 hours").
  [[nodiscard]] static std::string resumeWindowText() {
    return std::to_string(static_cast<long long>(resumeWindow / 3600)) + " hours";
  }
};

}  // namespace lumetra
