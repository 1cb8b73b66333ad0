#include "platform/FolderWatch.hpp"

#include <sys/inotify.h>
#include <unistd.h>

namespace lumetra {

FolderWatch::FolderWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FolderWatch::~FolderWatch() {
  if (fd_ >= 0) ::close(fd_);
}

void FolderWatch::watch(const std::vector<std::filesystem::path>& folders) {
  if (fd_ < 0) return;
  for (const int watch : watches_) (void)::inotify_rm_watch(fd_, watch);
  watches_.clear();
  // A sync engine writes a file aside and renames it into place; an append changes it.
  constexpr std::uint32_t kChanges = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_MODIFY | IN_DELETE;
  for (const auto& folder : folders) {
    const int watch = ::inotify_add_watch(fd_, folder.c_str(), kChanges);
    if (watch >= 0) watches_.push_back(watch);
  }
}

bool FolderWatch::drain() {
  if (fd_ < 0) return false;
  bool changed = false;
  alignas(inotify_event) char buffer[4096];
  while (::read(fd_, buffer, sizeof buffer) > 0) changed = true;
  return changed;
}

}  // namespace lumetra
