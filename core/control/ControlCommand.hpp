#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/WireField.hpp"

namespace lumetra {

// The commands of the control protocol, in declaration order (the order of kControlCommandTexts).
enum class ControlCommand { status, projects, start, stop, resume, describe, sessions, importSessions };

inline constexpr std::array<std::pair<ControlCommand, std::string_view>, 8> kControlCommandTexts{{
    {ControlCommand::status, "status"},
    {ControlCommand::projects, "projects"},
    {ControlCommand::start, "start"},
    {ControlCommand::stop, "stop"},
    {ControlCommand::resume, "resume"},
    {ControlCommand::describe, "describe"},
    {ControlCommand::sessions, "sessions"},
    {ControlCommand::importSessions, "import"},
}};

template <>
struct WireEnum<ControlCommand> {
  static constexpr const auto& texts = kControlCommandTexts;
};

}  // namespace lumetra
