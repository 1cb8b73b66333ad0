// Reading the file of an import: the whole file or standard input, checked before sending.
#include <system_error>

#include "cli/CommandLineTool.hpp"
#include "platform/FileSystem.hpp"
#include "platform/SystemError.hpp"
#include "platform/UnicodeText.hpp"

namespace lumetra::CommandLineTool {

std::string readFile(const std::string& path) {
  // Standard input has no failure of its own: whatever arrives before its end is used.
  if (path == "-") return FileSystem::readStandardInput();
  return FileSystem::readFile(path);
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
