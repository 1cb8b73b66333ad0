#include "platform/ProcessInfo.hpp"

namespace lumetra::ProcessInfo {

std::filesystem::path executable(const char* argv0) {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return argv0 ? argv0 : "";
  return path;
}

}  // namespace lumetra::ProcessInfo
