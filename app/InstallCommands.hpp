#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "cli/CommandLineTool.hpp"
#include "platform/UserFolders.hpp"

namespace lumetra::InstallCommands {

// `lumetra-app install-tool`, `uninstall-tool`, `install-claude`, `install-mcp CLIENT`,
// `install-service` and `uninstall-service`, which need no running host: link the bundle's
// programs onto the PATH (or take those links away), register the tool with the Claude desktop
// app or another assistant, or start the host at login (or no longer). Nothing for other words.
[[nodiscard]] std::optional<CommandLineTool::Output> run(std::span<const std::string> arguments,
                                                         const std::filesystem::path& bundle,
                                                         const Environment& environment);

// The app bundle that holds the running lumetra-app (Contents/MacOS/lumetra-app).
[[nodiscard]] std::filesystem::path bundleOf(const std::filesystem::path& executable);

}  // namespace lumetra::InstallCommands
