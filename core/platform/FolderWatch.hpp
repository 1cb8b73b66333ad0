#pragma once

#include <filesystem>
#include <vector>

namespace lumetra {

// Tells when files change in a set of folders (not their subfolders): a descriptor that
// becomes readable, for a poll loop. Where the system has no such thing, the descriptor never
// becomes readable and callers look on a timer. Not thread-safe.
class FolderWatch {
 public:
  FolderWatch();
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Watches exactly these folders from now on; ones that don't exist are left out.
  void watch(const std::vector<std::filesystem::path>& folders);
  // For poll; -1 when nothing can be watched.
  [[nodiscard]] int descriptor() const { return fd_; }
  // Reads what is pending; true when something changed.
  bool drain();

 private:
  int fd_ = -1;
  std::vector<int> watches_;
};

}  // namespace lumetra
