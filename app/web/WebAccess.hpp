#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Who may use the window's page: the rules the web server applies to every request, kept apart
// from the server so that each can be checked on its own.
namespace lumetra::WebAccess {

// Random bytes in each start's token (hex in the address, 256 bits).
inline constexpr std::size_t tokenBytes = 32;
// The largest request body: an import's file as JSON text.
inline constexpr std::size_t maxBody = 20 * 1024 * 1024;

// Whether a Host header names this server: the loopback address or localhost, with its port.
// Any other name could be a rebound DNS name pointing at the loopback.
[[nodiscard]] bool hostAllowed(std::string_view host, int port);
// Whether an Origin header is the page's own, the same scheme, name and port as the Host.
[[nodiscard]] bool originAllowed(std::string_view origin, std::string_view host);
// Every value of the named cookie in a Cookie header: a page on another port of 127.0.0.1 can
// set one of the same name for a longer path, which browsers then send first.
[[nodiscard]] std::vector<std::string> cookies(std::string_view header, std::string_view name);
// Compares secrets in time that doesn't depend on where they differ.
[[nodiscard]] bool sameSecret(std::string_view given, std::string_view secret);
// The cookie's name: cookies aren't kept apart by port, so each port's page has its own.
[[nodiscard]] std::string cookieName(int port);

}  // namespace lumetra::WebAccess
