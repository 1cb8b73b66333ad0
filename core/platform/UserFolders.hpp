#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace lumetra {

// Process environment as a plain map, so that code reading it can be given another one.
using Environment = std::map<std::string, std::string>;

namespace UserFolders {

// The current process's environment.
[[nodiscard]] Environment currentEnvironment();

// One variable of the current process's environment.
[[nodiscard]] std::optional<std::string> environmentValue(const char* name);

// The user's home folder: HOME when set, else the account's home from the user database.
[[nodiscard]] std::filesystem::path home(const Environment& environment);

// The per-user application-support folder: $XDG_DATA_HOME (when absolute), else
// ~/.local/share on Linux; ~/Library/Application Support on macOS.
[[nodiscard]] std::filesystem::path applicationSupport(const Environment& environment);

// Where desktop applications keep their settings under a home folder: ~/.config on Linux;
// ~/Library/Application Support on macOS.
[[nodiscard]] std::filesystem::path applicationSettings(const std::filesystem::path& home);

// The user's settings folder: $XDG_CONFIG_HOME (when absolute) or ~/.config on Linux;
// ~/Library/Application Support on macOS.
[[nodiscard]] std::filesystem::path settings(const Environment& environment);

}  // namespace UserFolders
}  // namespace lumetra
