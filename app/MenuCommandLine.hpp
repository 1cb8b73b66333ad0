#pragma once

#include <functional>
#include <span>
#include <string>

#include "cli/CommandLineTool.hpp"
#include "cli/Formatter.hpp"
#include "control/WireCoding.hpp"
#include "control/ControlClient.hpp"
#include "platform/Calendar.hpp"
#include "platform/Instant.hpp"

namespace lumetra::MenuCommandLine {

// The name messages use.
inline constexpr std::string_view name = "lumetra-app";
// The menu's socket in the data directory, beside the control socket.
inline constexpr std::string_view socketName = "lumetra-menu.sock";

// Said at start, and by idle-timeout, where nothing tells when the user last gave input.
inline constexpr std::string_view unseenInput =
    "Lumetra can't see keyboard and mouse activity here, so sessions won't stop by themselves when you step away.";

// The help text, without a final newline.
[[nodiscard]] const std::string& usage();

// Whether the words ask for a menu action (or help) rather than running the host.
[[nodiscard]] bool isMenuAction(std::span<const std::string> arguments);

// The sentence an action's result is told in, `verb` being its wire name ("project-add").
[[nodiscard]] std::string printed(const std::string& verb, const JSON& result, const CommandLineTool::Formatter& formatter);

// Parses a menu action, sends it through `transport` (the menu socket) and prints the answer,
// in the tool's style: 0 success, 1 refused, 2 bad usage, 3 not running. `openAddress` is
// given the window's address after `open`. Never throws.
[[nodiscard]] CommandLineTool::Output run(std::span<const std::string> arguments, const Transport& transport,
                                          Instant now, const Calendar& calendar,
                                          const std::function<void(const std::string&)>& openAddress = {});

}  // namespace lumetra::MenuCommandLine
