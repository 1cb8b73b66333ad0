#include "platform/FileSystem.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>
#include <utility>

#include "platform/FileDescriptor.hpp"

namespace lumetra::FileSystem {

namespace {
[[noreturn]] void fail(const char* what, const std::filesystem::path& path, int error) {
  throw std::filesystem::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}
}  // namespace

bool writeAll(int fd, std::string_view bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    written += static_cast<std::size_t>(count);
  }
  return true;
}

int appendDurably(const std::filesystem::path& file, std::string_view bytes) noexcept {
  const bool existed = ::access(file.c_str(), F_OK) == 0;
  FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd.valid()) return errno;
  if (!writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) return errno ? errno : EIO;
  if (!existed) {
    FileDescriptor folder(::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) (void)::fsync(folder.get());
  }
  return 0;
}

int truncateDurably(const std::filesystem::path& file, std::uint64_t size) noexcept {
  FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!fd.valid()) return errno;
  if (::ftruncate(fd.get(), static_cast<off_t>(size)) != 0 || ::fsync(fd.get()) != 0) return errno;
  return 0;
}

int writeAndClose(int fd, std::string_view bytes) noexcept {
  const int written = writeAll(fd, bytes) ? 0 : errno;
  const int closed = ::close(fd) == 0 ? 0 : errno;
  return written != 0 ? written : closed;
}

std::string uuid() {
  std::random_device device;
  unsigned char bytes[16];
  for (auto& byte : bytes) byte = static_cast<unsigned char>(device());
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

void replaceAtomically(const std::filesystem::path& destination,
                       const std::function<void(const std::filesystem::path& temporary)>& make,
                       const std::string& temporaryName) {
  std::string name = temporaryName;
  if (name.empty()) {
    // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about a literal + std::string.
    name = '.';
    name += destination.filename().string();
    name += '.';
    name += uuid();
  }
  const auto temporary = destination.parent_path() / name;
  std::error_code ignored;
  try {
    make(temporary);
    if (const int error = FileSystem::rename(temporary, destination); error != 0) fail("Couldn't write", destination, error);
  } catch (...) {
    std::filesystem::remove_all(temporary, ignored);
    throw;
  }
}

void writeAtomically(const std::filesystem::path& file, std::string_view bytes) {
  // The file keeps its mode; a new one gets what the umask allows.
  struct stat existing {};
  if (::stat(file.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    writeAtomically(file, bytes, existing.st_mode & 07777);
    return;
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  writeAtomically(file, bytes, 0666 & ~mask);
}

void writeAtomically(const std::filesystem::path& file, std::string_view bytes, unsigned mode) {
  replaceAtomically(file, [&](const std::filesystem::path& temporary) {
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid()) fail("Couldn't write", file, errno);
    if (!writeAll(fd.get(), bytes) || ::fsync(fd.get()) != 0 || ::fchmod(fd.get(), static_cast<mode_t>(mode)) != 0) {
      fail("Couldn't write", file, errno != 0 ? errno : EIO);
    }
  });
}

void writeOutput(const std::filesystem::path& path, std::string_view bytes) {
  struct stat followed {};
  if (::stat(path.c_str(), &followed) == 0 && !S_ISREG(followed.st_mode)) {
    if (S_ISDIR(followed.st_mode)) fail("Couldn't write", path, EISDIR);
    // A FIFO, a terminal, a device: written through, as a shell's redirection would.
    FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) fail("Couldn't write", path, errno);
    if (!writeAll(fd.get(), bytes)) fail("Couldn't write", path, errno != 0 ? errno : EIO);
    if (::close(fd.release()) != 0) fail("Couldn't write", path, errno);
    return;
  }
  // A link is followed to the file it names, which is replaced, not the link.
  std::filesystem::path target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat own {};
    if (::lstat(target.c_str(), &own) != 0 || !S_ISLNK(own.st_mode)) break;
    char named[4096];
    const ssize_t length = ::readlink(target.c_str(), named, sizeof named - 1);
    if (length < 0) fail("Couldn't write", path, errno);
    target = (target.parent_path() / std::string(named, static_cast<std::size_t>(length))).lexically_normal();
  }
  writeAtomically(target, bytes);
}

void removeFile(const std::filesystem::path& path) noexcept { (void)::remove(path.c_str()); }

int setMode(const std::filesystem::path& path, unsigned mode) noexcept {
  return ::chmod(path.c_str(), static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

int rename(const std::filesystem::path& from, const std::filesystem::path& to) noexcept {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int createFolder(const std::filesystem::path& path, unsigned mode) noexcept {
  if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0) return 0;
  const int error = errno;
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? 0 : error;
}

std::optional<FileStatus> status(const std::filesystem::path& path) noexcept {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileStatus{static_cast<unsigned>(info.st_uid), static_cast<unsigned>(info.st_mode & 07777)};
}

int writableFolder(const std::filesystem::path& path) noexcept {
  return ::access(path.c_str(), W_OK) == 0 ? 0 : errno;
}

std::optional<LinkStatus> linkStatus(const std::filesystem::path& path) noexcept {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return LinkStatus{static_cast<unsigned>(info.st_uid), S_ISLNK(info.st_mode)};
}

std::optional<FileIdentity> identity(const std::filesystem::path& path) noexcept {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

bool isWritableFolder(const std::filesystem::path& path) noexcept {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && ::access(path.c_str(), W_OK) == 0;
}

namespace {
// Reads straight into the result, sized for a regular file's length up front, so a large file
// is neither copied from a buffer nor moved as the text grows.
std::string readAll(int fd) {
  struct stat info {};
  const bool sized = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  std::string bytes(std::max<std::size_t>(sized ? static_cast<std::size_t>(info.st_size) + 1 : 0, 65536), '\0');
  std::size_t used = 0;
  for (;;) {
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    const ssize_t count = ::read(fd, bytes.data() + used, bytes.size() - used);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category());
    }
    if (count == 0) {
      bytes.resize(used);
      return bytes;
    }
    used += static_cast<std::size_t>(count);
  }
}
}  // namespace

std::string readFile(const std::filesystem::path& path) { return readFile(path, 0); }

std::string readFile(const std::filesystem::path& path, std::uint64_t from) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) throw std::system_error(errno, std::generic_category());
  if (from > 0 && ::lseek(fd.get(), static_cast<off_t>(from), SEEK_SET) < 0) {
    throw std::system_error(errno, std::generic_category());
  }
  return readAll(fd.get());
}

FileDescriptor openForReading(const std::filesystem::path& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) throw std::system_error(errno, std::generic_category());
  return fd;
}

std::size_t readSome(const FileDescriptor& file, char* into, std::size_t size) {
  for (;;) {
    const ssize_t count = ::read(file.get(), into, size);
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR) throw std::system_error(errno, std::generic_category());
  }
}

std::string readStandardInput() {
  try {
    return readAll(STDIN_FILENO);
  } catch (const std::system_error&) {
    return {};
  }
}

std::optional<std::string> readStandardInputLine() {
  static std::string buffered;
  static std::size_t searched = 0;  // bytes of `buffered` known to hold no line feed
  static bool ended = false;
  for (;;) {
    if (const auto newline = buffered.find('\n', searched); newline != std::string::npos) {
      std::string line = buffered.substr(0, newline);
      buffered.erase(0, newline + 1);
      searched = 0;
      return line;
    }
    searched = buffered.size();
    if (ended) {
      if (buffered.empty()) return std::nullopt;
      searched = 0;
      return std::exchange(buffered, {});
    }
    char chunk[65536];
    const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      ended = true;
    } else {
      buffered.append(chunk, static_cast<std::size_t>(count));
    }
  }
}

bool isExecutableFile(const std::filesystem::path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace lumetra::FileSystem
