#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/FileDescriptor.hpp"

namespace lumetra {

// An exclusive lock on a file, held while the object lives and released by the kernel when
// the process ends in any way, so a crashed holder never leaves it behind.
class FileLock {
 public:
  // Opens the file (creating it with mode 0600) and locks it without waiting. held() tells
  // whether the lock was taken; error() is the errno when the file couldn't be opened or
  // locked for another reason than another holder.
  explicit FileLock(const std::filesystem::path& file);

  [[nodiscard]] bool held() const noexcept { return held_; }
  [[nodiscard]] int error() const noexcept { return error_; }

  // Replaces the file's contents; for the holder to record who it is.
  void record(std::string_view text);
  // What the file holds, or nothing when it can't be read.
  [[nodiscard]] static std::string recorded(const std::filesystem::path& file);

 private:
  FileDescriptor fd_;
  bool held_ = false;
  int error_ = 0;
};

}  // namespace lumetra
