#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "cli/CommandLineTool.hpp"
#include "platform/UserFolders.hpp"

namespace lumetra::InstallCommands {

// `lumetra-app install-tool`, `install-claude` and `install-mcp CLIENT`, which need no running
// host: link the bundle's tool onto the PATH, or register it with the Claude desktop app or
// another assistant. Nothing for any other words.
[[nodiscard]] std::optional<CommandLineTool::Output> run(std::span<const std::string> arguments,
                                                         const std::filesystem::path& bundle,
                                                         const Environment& environment);

// The app bundle that holds the running lumetra-app (Contents/MacOS/lumetra-app).
[[nodiscard]] std::filesystem::path bundleOf(const std::filesystem::path& executable);

}  // namespace lumetra::InstallCommands
