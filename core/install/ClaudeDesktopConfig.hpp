#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "install/AssistantConfig.hpp"

namespace lumetra::ClaudeDesktopConfig {

// The key of Lumetra's entry under "mcpServers".
inline constexpr std::string_view serverName = "lumetra";
// The Claude desktop app's bundle identifier.
inline constexpr std::string_view bundleId = "com.anthropic.claudefordesktop";

using Outcome = AssistantConfig::Outcome;

// Why nothing was changed.
using InstallError = lumetra::InstallError;

// The Claude desktop app's configuration file in a home folder: Library/Application Support/
// Claude on macOS, .config/Claude on Linux; the file is claude_desktop_config.json.
[[nodiscard]] std::filesystem::path configURL(const std::filesystem::path& home);

// The existing entry with "command" set to the tool and "args" to ["mcp"]; other members stay.
[[nodiscard]] JSON entry(const std::filesystem::path& tool, JSON existing);

using Merged = AssistantConfig::Merged;
// The file's new bytes with Lumetra's entry, every other setting kept (keys sorted).
// Throws InstallError unreadable when the file isn't a JSON object with an mcpServers object.
[[nodiscard]] Merged merged(const std::optional<std::string>& current, const std::filesystem::path& tool,
                            const std::filesystem::path& file);

// Adds or updates Lumetra's entry in place: follows a link to the real file, writes atomically,
// keeps the permission bits, and doesn't write when nothing changes. Throws InstallError, or
// std::filesystem::filesystem_error for the file system's failures.
Outcome install(const std::filesystem::path& tool, const std::filesystem::path& file);

}  // namespace lumetra::ClaudeDesktopConfig
