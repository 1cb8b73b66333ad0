#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace lumetra::FileSystem {

// Replaces the file with `bytes` in one step: written to a temporary file in the same folder,
// flushed to disk, then renamed over it; the temporary file never outlives a failure.
// Throws std::filesystem::filesystem_error.
void writeAtomically(const std::filesystem::path& file, std::string_view bytes);

// Writes every byte, repeating after interruptions. False when a write fails (for example a
// reader that has gone, with SIGPIPE ignored).
bool writeAll(int fd, std::string_view bytes);

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
