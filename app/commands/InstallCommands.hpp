#pragma once

#include <filesystem>
#include <string>

#include "cli/CommandLineTool.hpp"
#include "platform/UserFolders.hpp"

// lumetra-app's commands that need no running host: link the bundle's programs onto the PATH
// (or take those links away), register the tool with the Claude desktop app or another
// assistant, or start the host at login (or no longer).
namespace lumetra::InstallCommands {

using CommandLineTool::Output;

[[nodiscard]] Output installTool(const std::filesystem::path& bundle, const Environment& environment);
// Both folders install-tool may have chosen, since which one it chose depended on permissions then.
[[nodiscard]] Output uninstallTool(const std::filesystem::path& bundle, const Environment& environment);
[[nodiscard]] Output installClaude(const std::filesystem::path& bundle, const Environment& environment);
// `assistant` as typed: claude-code, vscode or cursor.
[[nodiscard]] Output installMCP(const std::string& assistant, const std::filesystem::path& bundle,
                                const Environment& environment);
// Start at login, or no longer: the host of this bundle.
[[nodiscard]] Output loginService(bool installing, const std::filesystem::path& bundle, const Environment& environment);

// The app bundle that holds the running lumetra-app (Contents/MacOS/lumetra-app).
[[nodiscard]] std::filesystem::path bundleOf(const std::filesystem::path& executable);

}  // namespace lumetra::InstallCommands
