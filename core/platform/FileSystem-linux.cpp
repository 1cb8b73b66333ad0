#include <sys/xattr.h>

#include "platform/FileSystem.hpp"

namespace lumetra::FileSystem {

// Linux keeps attributes of this kind in the "user." namespace.
const std::string& quarantineAttribute() {
  static const std::string name = "user.com.apple.quarantine";
  return name;
}

void removeAttribute(const std::filesystem::path& path, const std::string& name) noexcept {
  (void)::lremovexattr(path.c_str(), name.c_str());
}

bool setAttribute(const std::filesystem::path& path, const std::string& name, std::string_view value) noexcept {
  return ::lsetxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) == 0;
}

bool hasAttribute(const std::filesystem::path& path, const std::string& name) noexcept {
  return ::lgetxattr(path.c_str(), name.c_str(), nullptr, 0) >= 0;
}

}  // namespace lumetra::FileSystem
