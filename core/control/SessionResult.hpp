#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"
#include "control/SessionInfo.hpp"

namespace lumetra {

// The result of resume (the new session) and of describe (the described one).
struct SessionResult {
  SessionInfo session;

  bool operator==(const SessionResult&) const = default;

  static constexpr auto wireFields() {
    using R = SessionResult;
    return std::tuple{WireField{"session", &R::session}};
  }
};

}  // namespace lumetra
