#pragma once

#include <array>
#include <string_view>
#include <utility>

#include "platform/WireField.hpp"

namespace lumetra {

// How trustworthy a session's start and end are.
enum class SessionTimes {
  real,         // the actual times
  approximate,  // estimates; the duration is meant to be right
  placeholder,  // the times only place a known duration on a day
};

inline constexpr std::array<std::pair<SessionTimes, std::string_view>, 3> kSessionTimesTexts{{
    {SessionTimes::real, "real"},
    {SessionTimes::approximate, "approximate"},
    {SessionTimes::placeholder, "placeholder"},
}};

template <>
struct WireEnum<SessionTimes> {
  static constexpr const auto& texts = kSessionTimesTexts;
};

}  // namespace lumetra
