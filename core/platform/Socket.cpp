#include "platform/Socket.hpp"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "platform/UnixSocket.hpp"

namespace lumetra::Socket {

void configure(int fd, double timeoutSeconds) {
  (void)UnixSocket::suppressSigPipe(fd);
  const double whole = std::floor(timeoutSeconds);
  timeval timeout{};
  timeout.tv_sec = static_cast<time_t>(whole);
  timeout.tv_usec = static_cast<suseconds_t>((timeoutSeconds - whole) * 1'000'000);
  (void)setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  (void)setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

LineRead readLine(int fd, std::size_t limit) {
  std::string accumulated;
  char buffer[readChunk];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return {LineRead::Kind::expired, {}};
      return {LineRead::Kind::readError, {}};
    }
    if (count == 0) {
      // A peer may end its message by closing instead of sending a newline.
      if (accumulated.empty()) return {LineRead::Kind::closed, {}};
      return {LineRead::Kind::line, std::move(accumulated)};
    }
    const auto* newline = static_cast<const char*>(std::memchr(buffer, '\n', static_cast<std::size_t>(count)));
    if (newline) {
      accumulated.append(buffer, static_cast<std::size_t>(newline - buffer));
      if (accumulated.size() > limit) return {LineRead::Kind::tooLong, {}};
      return {LineRead::Kind::line, std::move(accumulated)};
    }
    accumulated.append(buffer, static_cast<std::size_t>(count));
    if (accumulated.size() > limit) return {LineRead::Kind::tooLong, {}};
  }
}

bool writeAll(int fd, std::string_view bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = ::send(fd, bytes.data() + written, bytes.size() - written, UnixSocket::sendFlags());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    written += static_cast<std::size_t>(count);
  }
  return true;
}

std::size_t writeLine(int fd, std::string_view bytes, bool wait) {
  char newline = '\n';
  std::size_t written = 0;
  while (written <= bytes.size()) {
    const std::string_view rest = bytes.substr(std::min(written, bytes.size()));
    iovec parts[2] = {{const_cast<char*>(rest.data()), rest.size()}, {&newline, 1}};
    msghdr message{};
    message.msg_iov = rest.empty() ? parts + 1 : parts;
    message.msg_iovlen = rest.empty() ? 1 : 2;
    const ssize_t count = ::sendmsg(fd, &message, UnixSocket::sendFlags() | (wait ? 0 : MSG_DONTWAIT));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    written += static_cast<std::size_t>(count);
  }
  return written;
}

}  // namespace lumetra::Socket
