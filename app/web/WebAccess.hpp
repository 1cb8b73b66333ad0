#pragma once

#include <optional>
#include <string>
#include <string_view>

// Who may use the window's page: the rules the web server applies to every request, kept apart
// from the server so that each can be checked on its own.
namespace lumetra::WebAccess {

// The port the page uses unless told otherwise, so that a bookmark keeps working.
inline constexpr int defaultPort = 47823;
// The setting and the environment variable that choose another port, or "off".
inline constexpr std::string_view portSetting = "web_port";
inline constexpr const char* portVariable = "LUMETRA_WEB_PORT";
// Random bytes in each start's token (hex in the address, 256 bits).
inline constexpr std::size_t tokenBytes = 32;
// The largest request body: an import's file as JSON text.
inline constexpr std::size_t maxBody = 20 * 1024 * 1024;

// The port to serve on: the variable when set, else the setting, else defaultPort; nothing for
// "off". 0 asks for any free port. `problem` names a value that is neither.
struct PortChoice {
  std::optional<int> port;
  std::optional<std::string> problem;
};
[[nodiscard]] PortChoice choosePort(const std::optional<std::string>& variable, const std::optional<std::string>& setting);
// A port number from 0 to 65535, or "off" as nothing; no value for anything else.
[[nodiscard]] std::optional<std::optional<int>> parsePort(std::string_view text);

// Whether a Host header names this server: the loopback address or localhost, with its port.
// Any other name could be a rebound DNS name pointing at the loopback.
[[nodiscard]] bool hostAllowed(std::string_view host, int port);
// Whether an Origin header is the page's own, the same scheme, name and port as the Host.
[[nodiscard]] bool originAllowed(std::string_view origin, std::string_view host);
// The value of the named cookie in a Cookie header.
[[nodiscard]] std::optional<std::string> cookie(std::string_view header, std::string_view name);
// Compares secrets in time that doesn't depend on where they differ.
[[nodiscard]] bool sameSecret(std::string_view given, std::string_view secret);
// The cookie's name: cookies aren't kept apart by port, so each port's page has its own.
[[nodiscard]] std::string cookieName(int port);

}  // namespace lumetra::WebAccess
