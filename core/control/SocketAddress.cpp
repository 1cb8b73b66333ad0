#include "control/SocketAddress.hpp"

#include <cstring>

#include "control/SocketError.hpp"
#include "platform/UnixSocket.hpp"

namespace lumetra {

SocketAddress::SocketAddress(const std::filesystem::path& path) {
  const std::string& bytes = path.native();
  if (bytes.size() > maxPathBytes) throw SocketError::pathTooLong(bytes);
  address_.sun_family = AF_UNIX;
  std::memcpy(address_.sun_path, bytes.data(), bytes.size());
  address_.sun_path[bytes.size()] = '\0';
  length_ = UnixSocket::addressLength(address_);
}

}  // namespace lumetra
