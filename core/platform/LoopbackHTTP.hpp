#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A plain HTTP request to a service on this computer's loopback address, and nowhere else: for
// asking a local sync engine to look at a folder. The answer's body is left unread.
namespace lumetra::LoopbackHTTP {

// Whether "host:port" names the loopback address (127.0.0.1, localhost or [::1]) with a port.
[[nodiscard]] bool isLoopback(std::string_view address);

// POSTs to http://`address``target` with the headers and an empty body; the answer's status
// code, or nothing when the address isn't loopback, nothing answers within `seconds` or the
// answer isn't HTTP.
[[nodiscard]] std::optional<int> post(std::string_view address, const std::string& target,
                                      const std::vector<std::pair<std::string, std::string>>& headers, double seconds);

}  // namespace lumetra::LoopbackHTTP
