#pragma once

#include <filesystem>
#include <string>

#include "install/InstallError.hpp"

namespace lumetra::ToolInstaller {

// Where the tool's link goes when the current user may write there.
inline const std::filesystem::path systemFolder = "/usr/local/bin";

// Why nothing was changed.
using InstallError = lumetra::InstallError;

// The tool inside an app bundle: Contents/Helpers/lumetra.
[[nodiscard]] std::filesystem::path toolURL(const std::filesystem::path& bundle);
// The host inside an app bundle: Contents/MacOS/lumetra-app.
[[nodiscard]] std::filesystem::path appURL(const std::filesystem::path& bundle);
// The home folder's .local/bin.
[[nodiscard]] std::filesystem::path userFolder(const std::filesystem::path& home);
// The system folder when it is a directory the user may write to, else the user folder.
[[nodiscard]] std::filesystem::path destinationFolder(const std::filesystem::path& home,
                                                      const std::filesystem::path& system = systemFolder);
// Links the program's name ("lumetra", "lumetra-app") in the folder to the program, atomically.
// Replaces a link to the same program in another copy of the app or a dangling link; refuses
// anything else (occupied). Returns the link.
// Throws InstallError, or std::filesystem::filesystem_error for the file system's failures.
std::filesystem::path install(const std::filesystem::path& tool, const std::filesystem::path& folder);
// Removes the program's link from the folder when it points at this very program; leaves
// anything else. Whether it removed one. Throws std::filesystem::filesystem_error.
bool uninstall(const std::filesystem::path& program, const std::filesystem::path& folder);

}  // namespace lumetra::ToolInstaller
