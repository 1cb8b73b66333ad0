#include "platform/UnixSocket.hpp"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lumetra::UnixSocket {

namespace {
int closedOnExec(int fd) {
  if (fd >= 0) (void)::fcntl(fd, F_SETFD, FD_CLOEXEC);
  return fd;
}
}  // namespace

int openStream() { return closedOnExec(::socket(AF_UNIX, SOCK_STREAM, 0)); }

int acceptConnection(int listener) { return closedOnExec(::accept(listener, nullptr, nullptr)); }

bool openPipe(int ends[2]) {
  if (::pipe(ends) != 0) return false;
  closedOnExec(ends[0]);
  closedOnExec(ends[1]);
  return true;
}

bool suppressSigPipe(int fd) {
  int on = 1;
  return setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on) == 0;
}

int sendFlags() { return 0; }

std::optional<uid_t> peerUserId(int fd) {
  uid_t uid = 0;
  gid_t gid = 0;
  if (getpeereid(fd, &uid, &gid) != 0) return std::nullopt;
  return uid;
}

}  // namespace lumetra::UnixSocket
