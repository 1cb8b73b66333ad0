#pragma once

#include <array>
#include <filesystem>
#include <string_view>

#include "platform/UserFolders.hpp"

namespace lumetra::LegacyData {

// The earlier application, Hourbook: its identifiers, bundle and database names.
inline constexpr std::array<std::string_view, 2> bundleIds{"com.oakmoth.hourbook", "com.zlq.hourbook"};
inline constexpr std::string_view appName = "Hourbook.app";
inline constexpr std::string_view databaseName = "hourbook.sqlite";

enum class Outcome { moved, bothExist, nothingToMove };

// "Hourbook" in the user's application-support folder.
[[nodiscard]] std::filesystem::path defaultDirectory(const Environment& environment);
// Whether the earlier folder exists and the new one doesn't.
[[nodiscard]] bool needsMove(const std::filesystem::path& earlier, const std::filesystem::path& current);
// Moves the earlier folder into place when the new one doesn't exist yet, then gives an
// earlier-named database (with its -wal and -shm files) the current name, never overwriting a
// current one. Safe to run again. Throws std::filesystem::filesystem_error.
Outcome migrate(const std::filesystem::path& earlier, const std::filesystem::path& current);

}  // namespace lumetra::LegacyData
