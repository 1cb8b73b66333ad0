#include "platform/FileLock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileSystem.hpp"

namespace lumetra {

FileLock::FileLock(const std::filesystem::path& file)
    : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
  if (!fd_.valid()) {
    error_ = errno;
    return;
  }
  while (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) error_ = errno;
    return;
  }
  held_ = true;
}

void FileLock::record(std::string_view text) {
  if (!held_ || ::ftruncate(fd_.get(), 0) != 0 || ::lseek(fd_.get(), 0, SEEK_SET) != 0) return;
  (void)FileSystem::writeAll(fd_.get(), text);
}

std::string FileLock::recorded(const std::filesystem::path& file) {
  try {
    return FileSystem::readFile(file);
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace lumetra
