#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/UserFolders.hpp"

namespace lumetra {

// Lumetra's persistent store: one SQLite database in the data directory.
class Store {
 public:
  // The database's file name inside the data directory.
  static constexpr std::string_view databaseName = "lumetra.sqlite";

  // The data directory: LUMETRA_DATA_DIR when set and not empty, else "Lumetra" in the user's
  // application-support folder. Doesn't create it.
  [[nodiscard]] static std::filesystem::path defaultDirectory();
  [[nodiscard]] static std::filesystem::path defaultDirectory(const Environment& environment);

  // LUMETRA_DATA_DIR of the current process, or of the given environment, when set and not
  // empty (a scratch run). Taken unchanged; a relative path is relative to the working folder.
  [[nodiscard]] static std::optional<std::filesystem::path> directoryOverride();
  [[nodiscard]] static std::optional<std::filesystem::path> directoryOverride(const Environment& environment);
};

}  // namespace lumetra
