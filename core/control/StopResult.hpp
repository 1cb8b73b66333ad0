#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"
#include "control/SessionInfo.hpp"

namespace lumetra {

// The result of stop.
struct StopResult {
  SessionInfo session;     // as it stood when stopped
  bool discarded = false;  // shorter than the minimum length, so deleted

  bool operator==(const StopResult&) const = default;

  static constexpr auto wireFields() {
    using R = StopResult;
    return std::tuple{WireField{"session", &R::session},
                      WireField{"discarded", &R::discarded}};
  }
};

}  // namespace lumetra
