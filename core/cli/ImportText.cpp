// Reading the file of an import: the whole file or standard input, checked before sending.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "cli/CommandLineTool.hpp"
#include "platform/FileDescriptor.hpp"
#include "platform/SystemError.hpp"
#include "platform/UnicodeText.hpp"

namespace lumetra::CommandLineTool {

namespace {

std::string readAll(int fd) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category());
    }
    if (count == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(count));
  }
}

}  // namespace

std::string readFile(const std::string& path) {
  if (path == "-") {
    // Standard input has no failure of its own: whatever arrives before its end is used.
    try {
      return readAll(STDIN_FILENO);
    } catch (const std::system_error&) {
      return {};
    }
  }
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) throw std::system_error(errno, std::generic_category());
  return readAll(fd.get());
}

std::string importText(const std::string& path, const FileReader& reader) {
  const std::string shown = path == "-" ? "standard input" : path;
  std::string bytes;
  try {
    bytes = reader(path);
  } catch (const std::system_error& error) {
    throw UsageError("Couldn't read " + shown + ": " + SystemError::text(error.code().value()) + ".");
  } catch (const std::exception& error) {
    throw UsageError("Couldn't read " + shown + ": " + lumetra::describe(error));
  }
  if (!UnicodeText::isValidUTF8(bytes)) {
    throw UsageError(shown + " isn't UTF-8 text. Save it as CSV UTF-8 and try again.");
  }
  if (bytes.size() > importSizeLimit) {
    throw UsageError(shown + " is too large to import at once. Split it into files under " +
                     std::to_string(importSizeLimit / (1024 * 1024)) + " MB.");
  }
  return bytes;
}

}  // namespace lumetra::CommandLineTool
