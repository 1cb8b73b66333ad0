#include "platform/LoopbackHTTP.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstring>

#include "platform/FileDescriptor.hpp"

namespace lumetra::LoopbackHTTP {

namespace {

struct Target {
  bool v6 = false;
  std::uint16_t port = 0;
};

std::optional<Target> parse(std::string_view address) {
  const auto colon = address.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const std::string_view host = address.substr(0, colon), digits = address.substr(colon + 1);
  unsigned port = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535) {
    return std::nullopt;
  }
  if (host == "127.0.0.1" || host == "localhost") return Target{false, static_cast<std::uint16_t>(port)};
  if (host == "[::1]") return Target{true, static_cast<std::uint16_t>(port)};
  return std::nullopt;
}

// Waits for the socket to be ready, up to the deadline.
bool ready(int fd, short events, std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  if (left.count() <= 0) return false;
  pollfd waiting{fd, events, 0};
  return ::poll(&waiting, 1, static_cast<int>(left.count())) == 1 && (waiting.revents & events);
}

}  // namespace

bool isLoopback(std::string_view address) { return parse(address).has_value(); }

std::optional<int> post(std::string_view address, const std::string& target,
                        const std::vector<std::pair<std::string, std::string>>& headers, double seconds) {
  const auto where = parse(address);
  if (!where) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                                std::chrono::duration<double>(seconds));
  FileDescriptor fd(::socket(where->v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!fd.valid()) return std::nullopt;
  int connected = -1;
  if (where->v6) {
    sockaddr_in6 peer{};
    peer.sin6_family = AF_INET6;
    peer.sin6_port = htons(where->port);
    peer.sin6_addr = in6addr_loopback;
    connected = ::connect(fd.get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer);
  } else {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(where->port);
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected = ::connect(fd.get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer);
  }
  if (connected != 0 && (errno != EINPROGRESS || !ready(fd.get(), POLLOUT, deadline))) return std::nullopt;
  int failure = 0;
  socklen_t length = sizeof failure;
  if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &failure, &length) != 0 || failure != 0) return std::nullopt;

  std::string request = "POST " + target + " HTTP/1.1\r\nHost: " + std::string(address) +
                        "\r\nContent-Length: 0\r\nConnection: close\r\n";
  for (const auto& [name, value] : headers) request += name + ": " + value + "\r\n";
  request += "\r\n";
  for (std::size_t sent = 0; sent < request.size();) {
    if (!ready(fd.get(), POLLOUT, deadline)) return std::nullopt;
    const ssize_t n = ::send(fd.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return std::nullopt;
    sent += static_cast<std::size_t>(n);
  }
  std::string answer;
  char buffer[512];
  while (answer.find("\r\n") == std::string::npos && answer.size() < 4096) {
    if (!ready(fd.get(), POLLIN, deadline)) return std::nullopt;
    const ssize_t n = ::recv(fd.get(), buffer, sizeof buffer, 0);
    if (n <= 0) break;
    answer.append(buffer, static_cast<std::size_t>(n));
  }
  // "HTTP/1.1 200 OK"
  if (!answer.starts_with("HTTP/1.") || answer.size() < 12) return std::nullopt;
  int status = 0;
  const auto [end, error] = std::from_chars(answer.data() + 9, answer.data() + 12, status);
  if (error != std::errc() || end != answer.data() + 12) return std::nullopt;
  return status;
}

}  // namespace lumetra::LoopbackHTTP
