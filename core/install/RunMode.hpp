#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/UserFolders.hpp"

namespace lumetra {

// Whether this is a scratch run (LUMETRA_DATA_DIR set), and what follows from it.
struct RunMode {
  std::optional<std::filesystem::path> scratchDirectory;

  // Shown in place of actions that a scratch run disables.
  static constexpr std::string_view unavailableNote = "Not available in a scratch run (LUMETRA_DATA_DIR is set)";

  [[nodiscard]] static RunMode current();
  [[nodiscard]] static RunMode from(const Environment& environment);

  [[nodiscard]] bool isScratch() const { return scratchDirectory.has_value(); }
  [[nodiscard]] bool offersMoveToApplications(bool launchedByLaunchd, bool inApplicationsFolder) const {
    return !isScratch() && !launchedByLaunchd && !inApplicationsFolder;
  }
  [[nodiscard]] bool handsOffToLaunchd(bool loginItemEnabled, bool launchedByLaunchd) const {
    return !isScratch() && loginItemEnabled && !launchedByLaunchd;
  }
  // "Scratch run: ~/…" (or the full path outside the home folder); nothing in a normal run.
  [[nodiscard]] std::optional<std::string> menuNote(const std::filesystem::path& home) const;

  bool operator==(const RunMode&) const = default;
};

}  // namespace lumetra
