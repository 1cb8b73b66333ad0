#pragma once

#include "platform/FileDescriptor.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace lumetra::FileSystem {

// Puts a new item at `destination` in one step: `make` creates it (a file, a link, a folder or a
// socket) at a temporary path in the same folder, which is then renamed over `destination`, so
// the old item stays whole until the new one is. The temporary item never outlives a failure. `temporaryName` is the
// temporary's file name, by default "." + the destination's name + "." + a UUID. Throws what
// `make` throws, or std::filesystem::filesystem_error.
void replaceAtomically(const std::filesystem::path& destination,
                       const std::function<void(const std::filesystem::path& temporary)>& make,
                       const std::string& temporaryName = {});

// Replaces the file with `bytes` in one step: written to a temporary file (mode 0600) in the same
// folder, flushed to disk, given the file's own mode (a new file the umask's), then renamed over
// it; the temporary file never outlives a failure. Throws std::filesystem::filesystem_error.
void writeAtomically(const std::filesystem::path& file, std::string_view bytes);
// The same, the file ending with `mode` whatever it had.
void writeAtomically(const std::filesystem::path& file, std::string_view bytes, unsigned mode);
// What a person asked to have written at `path`: through a FIFO, terminal or device as it is;
// the file a link names (not the link) or a plain file replaced in one step as writeAtomically
// does. Throws std::filesystem::filesystem_error.
void writeOutput(const std::filesystem::path& path, std::string_view bytes);

// The descriptors of the standard streams.
inline constexpr int standardOutput = 1;
inline constexpr int standardError = 2;

// Writes every byte, repeating after interruptions. False when a write fails (for example a
// reader that has gone, with SIGPIPE ignored).
bool writeAll(int fd, std::string_view bytes);
// The same, then closes the descriptor, where a file system may report a write that failed
// after all. 0 or the errno of the first failure.
[[nodiscard]] int writeAndClose(int fd, std::string_view bytes) noexcept;

// Appends the bytes to the file (created 0600 when missing, never through a link) and flushes
// them to disk before returning; a new file's folder entry is flushed too. 0 or the errno.
[[nodiscard]] int appendDurably(const std::filesystem::path& file, std::string_view bytes) noexcept;
// Cuts the file to its first `size` bytes and flushes that to disk. 0 or the errno.
[[nodiscard]] int truncateDurably(const std::filesystem::path& file, std::uint64_t size) noexcept;

// Removes a file or empty folder, ignoring failures (it may already be gone).
void removeFile(const std::filesystem::path& path) noexcept;
// Sets the permission bits. 0 or the errno.
[[nodiscard]] int setMode(const std::filesystem::path& path, unsigned mode) noexcept;
// Renames in one step, replacing what is at `to`. 0 or the errno.
[[nodiscard]] int rename(const std::filesystem::path& from, const std::filesystem::path& to) noexcept;
// Creates the folder with the given mode (the parent must exist). 0 when it was created or a
// folder is already there, otherwise the errno.
[[nodiscard]] int createFolder(const std::filesystem::path& path, unsigned mode) noexcept;
// Whether this process may create files in the folder.
[[nodiscard]] bool isWritableFolder(const std::filesystem::path& path) noexcept;
// 0 when this process may create files in the folder, else why not (EACCES, EROFS…).
[[nodiscard]] int writableFolder(const std::filesystem::path& path) noexcept;

// Who owns a file and its permission bits (links followed), or nothing when it can't be read.
struct FileStatus {
  unsigned owner = 0;
  unsigned mode = 0;  // the permission bits only
};
[[nodiscard]] std::optional<FileStatus> status(const std::filesystem::path& path) noexcept;

// Who owns what a path names itself (links not followed), and whether it is a link; nothing
// when there is nothing there.
struct LinkStatus {
  unsigned owner = 0;
  bool link = false;
};
[[nodiscard]] std::optional<LinkStatus> linkStatus(const std::filesystem::path& path) noexcept;

// Which file a path names itself (links not followed), for telling whether it was replaced.
struct FileIdentity {
  std::uint64_t device = 0, inode = 0;
  bool operator==(const FileIdentity&) const = default;
};
[[nodiscard]] std::optional<FileIdentity> identity(const std::filesystem::path& path) noexcept;

// The whole file. Throws std::system_error whose code is the errno.
[[nodiscard]] std::string readFile(const std::filesystem::path& path);
// What follows the first `from` bytes (nothing when the file is shorter). Throws like readFile.
[[nodiscard]] std::string readFile(const std::filesystem::path& path, std::uint64_t from);
// The file open for reading a piece at a time, for files too large to hold. Throws like readFile.
[[nodiscard]] FileDescriptor openForReading(const std::filesystem::path& path);
// Up to `size` bytes into `into`; 0 at the end of the file. Throws like readFile.
[[nodiscard]] std::size_t readSome(const FileDescriptor& file, char* into, std::size_t size);
// Whatever arrives on standard input before its end; a read error ends it too.
[[nodiscard]] std::string readStandardInput();
// One line of standard input without its line feed; nothing at the end of input. A last line
// without a line feed still counts. Keeps what it read past the line for the next call.
[[nodiscard]] std::optional<std::string> readStandardInputLine();

// A fresh random UUID in its canonical text form, for temporary names that can't clash.
[[nodiscard]] std::string uuid();

// Whether the path names an executable regular file (links followed).
[[nodiscard]] bool isExecutableFile(const std::filesystem::path& path);

// The extended attribute that marks downloaded files: "com.apple.quarantine", in the "user."
// namespace where the system requires one.
[[nodiscard]] const std::string& quarantineAttribute();

// Removes an extended attribute from the path itself, never from a link's target. Failures
// (no such attribute, no permission) are ignored.
void removeAttribute(const std::filesystem::path& path, const std::string& name) noexcept;
// Sets an extended attribute on the path itself. False on failure.
bool setAttribute(const std::filesystem::path& path, const std::string& name, std::string_view value) noexcept;
// Whether the path itself carries the attribute.
[[nodiscard]] bool hasAttribute(const std::filesystem::path& path, const std::string& name) noexcept;

}  // namespace lumetra::FileSystem
