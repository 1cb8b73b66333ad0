#include <mach-o/dyld.h>

#include <vector>

#include "platform/ProcessInfo.hpp"

namespace lumetra::ProcessInfo {

std::filesystem::path executable(const char* argv0) {
  uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::vector<char> buffer(size + 1);
  if (_NSGetExecutablePath(buffer.data(), &size) != 0) return argv0 ? argv0 : "";
  return buffer.data();
}

// The system allocator returns large freed blocks by itself.
void releaseFreeMemory() {}

void shareAllocatorArenas() {}

}  // namespace lumetra::ProcessInfo
