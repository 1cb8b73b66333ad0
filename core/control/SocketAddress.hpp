#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "platform/UnixSocket.hpp"

namespace lumetra {

// The path of a Unix-domain socket, checked to fit. At most 103 bytes of path fit, on every
// platform (the smallest sun_path, with its terminator); a longer path throws
// SocketError::pathTooLong.
class SocketAddress {
 public:
  static constexpr std::size_t maxPathBytes = UnixSocket::maxPathBytes;

  explicit SocketAddress(const std::filesystem::path& path);

  [[nodiscard]] const std::string& path() const noexcept { return path_; }

 private:
  std::string path_;
};

}  // namespace lumetra
