#include "control/ControlClient.hpp"
#include "platform/PlatformWording.hpp"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <thread>

#include "platform/Socket.hpp"
#include "control/SocketAddress.hpp"
#include "control/SocketError.hpp"
#include "platform/FileDescriptor.hpp"
#include "platform/SystemError.hpp"
#include "platform/UnixSocket.hpp"

namespace lumetra::ControlClient {

namespace {

void pauseBeforeRetry() { std::this_thread::sleep_for(std::chrono::milliseconds(200)); }

ControlError failed(std::string message) { return ControlError(ControlError::Code::failed, std::move(message)); }

}  // namespace

std::string exchange(const std::string& request, const std::filesystem::path& socketPath, double timeoutSeconds,
                     const std::function<void()>& whileWaiting) {
  FileDescriptor fd(UnixSocket::openStream());
  if (!fd.valid()) throw failed("Couldn't create a socket (" + SystemError::text(errno) + ").");

  std::optional<SocketAddress> address;
  try {
    address.emplace(socketPath);
  } catch (const SocketError& error) {
    throw failed(error.description());
  }

  Socket::configure(fd.get(), timeoutSeconds);

  int error = UnixSocket::connectTo(fd.get(), address->path());
  for (int retry = 0; error == ECONNREFUSED && retry < connectRetries; ++retry) {
    // Refused: the socket file exists but nobody listens yet (starting up, or a stale file).
    pauseBeforeRetry();
    error = UnixSocket::connectTo(fd.get(), address->path());
  }
  if (error != 0) {
    if (error == ECONNREFUSED || error == ENOENT) {
      throw ControlError(ControlError::Code::notRunning,
                         PlatformWording::worded("Lumetra isn't running. Open it and try again."));
    }
    if (error == EACCES) throw failed("Permission denied for " + socketPath.native() + ".");
    throw failed("Couldn't connect to Lumetra (" + SystemError::text(error) + ").");
  }

  if (Socket::writeLine(fd.get(), request) != request.size() + 1) {
    throw failed("Couldn't send the request (" + SystemError::text(errno) + ").");
  }
  if (whileWaiting) whileWaiting();

  auto reply = Socket::readLine(fd.get(), maxReplySize);
  switch (reply.kind) {
    case Socket::LineRead::Kind::line:
      return std::move(reply.line);
    case Socket::LineRead::Kind::expired:
      throw ControlError(ControlError::Code::timedOut, "Lumetra didn't answer within " +
                                                           std::to_string(static_cast<long long>(std::ceil(timeoutSeconds))) +
                                                           " seconds.");
    case Socket::LineRead::Kind::closed:
    case Socket::LineRead::Kind::readError:
    case Socket::LineRead::Kind::tooLong:
      break;
  }
  throw failed("Lumetra closed the connection without answering.");
}

}  // namespace lumetra::ControlClient
