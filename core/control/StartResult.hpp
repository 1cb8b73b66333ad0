#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"
#include "control/SessionInfo.hpp"

namespace lumetra {

// The result of start.
struct StartResult {
  SessionInfo session;                 // the session that now runs
  bool started = false;                // false when that session was already running
  std::optional<SessionInfo> stopped;  // the session stopped to make way, when kept

  bool operator==(const StartResult&) const = default;

  static constexpr auto wireFields() {
    using R = StartResult;
    return std::tuple{WireField{"session", &R::session},
                      WireField{"started", &R::started},
                      WireField{"stopped", &R::stopped}};
  }
};

}  // namespace lumetra
