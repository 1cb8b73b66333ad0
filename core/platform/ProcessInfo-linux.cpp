#include "platform/ProcessInfo.hpp"

#include <malloc.h>

namespace lumetra::ProcessInfo {

std::filesystem::path executable(const char* argv0) {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return argv0 ? argv0 : "";
  return path;
}

// glibc keeps freed memory in its arenas, one per thread that allocated it.
void releaseFreeMemory() { (void)::malloc_trim(0); }

// Each thread that allocates would otherwise get an arena of its own, and the host's few, mostly
// idle server threads would keep several megabytes between them.
void shareAllocatorArenas() {
  (void)::mallopt(M_ARENA_MAX, 2);
  // Blocks of a megabyte and more (large requests and their copies) get pages of their own,
  // which go back to the system when freed. Left to itself, the allocator would raise that
  // size after each large block and keep up to twice as much of a thread's arena unreleased.
  (void)::mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
}

}  // namespace lumetra::ProcessInfo
