#include <sys/xattr.h>

#include "platform/FileSystem.hpp"

namespace lumetra::FileSystem {

const std::string& quarantineAttribute() {
  static const std::string name = "com.apple.quarantine";
  return name;
}

void removeAttribute(const std::filesystem::path& path, const std::string& name) noexcept {
  (void)::removexattr(path.c_str(), name.c_str(), XATTR_NOFOLLOW);
}

bool setAttribute(const std::filesystem::path& path, const std::string& name, std::string_view value) noexcept {
  return ::setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0, XATTR_NOFOLLOW) == 0;
}

bool hasAttribute(const std::filesystem::path& path, const std::string& name) noexcept {
  return ::getxattr(path.c_str(), name.c_str(), nullptr, 0, 0, XATTR_NOFOLLOW) >= 0;
}

}  // namespace lumetra::FileSystem
