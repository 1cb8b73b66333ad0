#include "platform/UnixSocket.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lumetra::UnixSocket {

int openStream() { return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0); }

int acceptConnection(int listener) { return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }

bool openPipe(int ends[2]) { return ::pipe2(ends, O_CLOEXEC) == 0; }

// Linux has no SO_NOSIGPIPE; every write passes MSG_NOSIGNAL instead.
bool suppressSigPipe(int) { return true; }

int sendFlags() { return MSG_NOSIGNAL; }

std::optional<uid_t> peerUserId(int fd) {
  ucred credentials{};
  socklen_t length = sizeof credentials;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) return std::nullopt;
  return credentials.uid;
}

}  // namespace lumetra::UnixSocket
