#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"
#include "control/SessionInfo.hpp"

namespace lumetra {

// The result of sessions, oldest first.
struct SessionsResult {
  std::vector<SessionInfo> sessions;

  bool operator==(const SessionsResult&) const = default;

  static constexpr auto wireFields() {
    using R = SessionsResult;
    return std::tuple{WireField{"sessions", &R::sessions}};
  }
};

}  // namespace lumetra
