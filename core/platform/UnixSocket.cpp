#include "platform/UnixSocket.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lumetra::UnixSocket {

namespace {

// Fills the platform's length field, where it has one; defined per platform.
socklen_t addressOf(const std::string& path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  address.sun_path[path.size()] = '\0';
#ifdef __APPLE__
  address.sun_len = static_cast<unsigned char>(sizeof(sockaddr_un));
#endif
  return sizeof(sockaddr_un);
}

int result(int returned) { return returned == 0 ? 0 : errno; }

}  // namespace

bool peerIsSameUser(int fd) {
  const auto peer = peerUserId(fd);
  return peer && *peer == ::getuid();
}

int connectTo(int fd, const std::string& path) {
  sockaddr_un address;
  const socklen_t length = addressOf(path, address);
  return result(::connect(fd, reinterpret_cast<const sockaddr*>(&address), length));
}

int bindTo(int fd, const std::string& path) {
  sockaddr_un address;
  const socklen_t length = addressOf(path, address);
  return result(::bind(fd, reinterpret_cast<const sockaddr*>(&address), length));
}

int listenOn(int fd, int backlog) { return result(::listen(fd, backlog)); }

int prepareTCPListener(int fd) {
  const int yes = 1;
  if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0) return errno;
  return ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes) == 0 ? 0 : errno;
}

int listenOnLoopback(int port, int backlog, int& error) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) {
    error = errno;
    return -1;
  }
  (void)::fcntl(fd, F_SETFD, FD_CLOEXEC);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  error = prepareTCPListener(fd);
  if (error == 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) error = errno;
  if (error == 0 && ::listen(fd, backlog) != 0) error = errno;
  if (error == 0) error = setNonBlocking(fd, true);
  if (error != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

int boundPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

void shutDown(int fd) { (void)::shutdown(fd, SHUT_RDWR); }

int setNonBlocking(int fd, bool nonBlocking) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return errno;
  return result(::fcntl(fd, F_SETFL, nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK));
}

bool waitReadable(std::span<const int> fds, int timeoutMilliseconds, std::vector<bool>& ready) {
  std::vector<pollfd> watched(fds.size());
  for (std::size_t i = 0; i < fds.size(); ++i) watched[i] = {fds[i], POLLIN, 0};
  int count;
  while ((count = ::poll(watched.data(), watched.size(), timeoutMilliseconds)) < 0) {
    if (errno != EINTR) return false;
  }
  ready.assign(fds.size(), false);
  for (std::size_t i = 0; i < fds.size(); ++i) ready[i] = watched[i].revents != 0;
  return true;
}

Chunk readAvailable(int fd, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t count = ::recv(fd, buffer, size, MSG_DONTWAIT);
    if (count > 0) return {Chunk::Kind::data, static_cast<std::size_t>(count)};
    if (count == 0) return {Chunk::Kind::closed, 0};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {Chunk::Kind::none, 0};
    return {Chunk::Kind::failed, 0};
  }
}

void sendWithoutWaiting(int fd, std::string_view bytes) {
  (void)::send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | sendFlags());
}

void signal(int fd) {
  const char byte = 0;
  while (::write(fd, &byte, 1) < 0 && errno == EINTR) {
  }
}

}  // namespace lumetra::UnixSocket
