#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include "control/ControlError.hpp"
#include "control/ControlProtocol.hpp"
#include "control/ControlRequest.hpp"
#include "control/ControlResponse.hpp"
#include "control/WireCoding.hpp"

namespace lumetra {

// A function from request bytes to reply bytes; fails with a ControlError.
using Transport = std::function<std::string(const std::string&)>;

namespace ControlClient {

// Send and receive time-out of one exchange, in seconds; the tool passes it for every request.
inline constexpr double timeout = 15;
// Further connection attempts after a refused first one, 200 ms apart.
inline constexpr int connectRetries = 5;
// Longest reply line the client accepts.
inline constexpr std::size_t maxReplySize = 4 * ControlProtocol::maxRequestSize;

// One request over the socket at `socketPath`: connect (retrying while refused), send the bytes
// and a newline, read one reply line. `whileWaiting`, when given, runs once the request is sent,
// so a caller can do its own preparation while the host works. Throws ControlError: notRunning,
// timedOut or failed.
[[nodiscard]] std::string exchange(const std::string& request, const std::filesystem::path& socketPath,
                                   double timeoutSeconds, const std::function<void()>& whileWaiting = {});

// The result of a reply envelope. Throws the reply's ControlError, or a ControlError with code
// failed for a reply that can't be read or that carries neither result nor error.
template <class Result>
Result result(const std::string& reply) {
  ControlResponse<Result> response;
  try {
    response = WireCoding::decode<ControlResponse<Result>>(reply);
  } catch (const WireError& error) {
    throw ControlError(ControlError::Code::failed, "Lumetra sent a reply that couldn't be read: " + error.description());
  }
  if (response.ok && response.result) return std::move(*response.result);
  if (response.error) throw *response.error;
  throw ControlError(ControlError::Code::failed, "Lumetra reported an error without details.");
}

// Encodes the request, passes it through the transport and decodes the reply's result. Throws
// as result() does, or the transport's own failure.
template <class Result>
Result send(const ControlRequest& request, const Transport& transport) {
  return result<Result>(transport(WireCoding::encode(request)));
}

}  // namespace ControlClient
}  // namespace lumetra
