#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <cstddef>
#include <filesystem>

namespace lumetra {

// The Unix-domain address of a socket path. At most 103 bytes of path fit, on every platform
// (the smallest sun_path, with its terminator); a longer path throws SocketError::pathTooLong.
class SocketAddress {
 public:
  static constexpr std::size_t maxPathBytes = 103;

  explicit SocketAddress(const std::filesystem::path& path);

  [[nodiscard]] const sockaddr* address() const noexcept { return reinterpret_cast<const sockaddr*>(&address_); }
  [[nodiscard]] socklen_t length() const noexcept { return length_; }

 private:
  sockaddr_un address_{};
  socklen_t length_ = 0;
};

}  // namespace lumetra
