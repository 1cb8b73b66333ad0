#include "control/SocketAddress.hpp"

#include "control/SocketError.hpp"

namespace lumetra {

SocketAddress::SocketAddress(const std::filesystem::path& path) : path_(path.native()) {
  if (path_.size() > maxPathBytes) throw SocketError::pathTooLong(path_);
}

}  // namespace lumetra
