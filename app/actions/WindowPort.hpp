#pragma once

#include <optional>
#include <string>
#include <string_view>

// Which port the window serves on: a setting of the host's, overridden for one run by the
// environment.
namespace lumetra::WindowPort {

// The port the page uses unless told otherwise, so that a bookmark keeps working.
inline constexpr int defaultPort = 47823;
// The setting and the environment variable that choose another port, or "off".
inline constexpr std::string_view setting = "web_port";
inline constexpr const char* variable = "LUMETRA_WEB_PORT";

// The port to serve on: the variable when set, else the setting, else defaultPort; nothing for
// "off". 0 asks for any free port. `problem` names a value that is neither.
struct Choice {
  std::optional<int> port;
  std::optional<std::string> problem;
};
[[nodiscard]] Choice choose(const std::optional<std::string>& environment, const std::optional<std::string>& stored);
// A port number from 0 to 65535, or "off" as nothing; no value for anything else.
[[nodiscard]] std::optional<std::optional<int>> parse(std::string_view text);

}  // namespace lumetra::WindowPort
