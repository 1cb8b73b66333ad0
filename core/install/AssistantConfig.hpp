#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "control/WireCoding.hpp"
#include "install/InstallError.hpp"
#include "platform/UserFolders.hpp"

namespace lumetra {

// An AI assistant whose user-level JSON settings can list `lumetra mcp` as one of its MCP servers.
// Registering keeps every other setting, replaces only Lumetra's own entry (keeping members the
// user added to it), leaves a file it can't understand alone, and writes atomically.
struct AssistantConfig {
  enum class Outcome { added, updated, unchanged };

  std::string_view id;          // the name `install-mcp` takes: "claude-code"
  std::string_view title;       // how sentences name it: "Claude Code"
  std::string_view serversKey;  // the top-level object that holds the servers
  bool typed;                   // whether an entry says "type": "stdio"
  // The settings file for a user, and the folder that must already exist (the assistant's own:
  // without it the assistant isn't set up for this user).
  std::filesystem::path (*settingsFile)(const Environment& environment);
  std::filesystem::path (*requiredFolder)(const Environment& environment);

  // The assistants `install-mcp` knows, and one of them by id (nullptr when unknown).
  [[nodiscard]] static std::span<const AssistantConfig> all();
  [[nodiscard]] static const AssistantConfig* named(std::string_view id);
  // The Claude desktop app: an untyped "mcpServers" entry in claude_desktop_config.json.
  [[nodiscard]] static const AssistantConfig& claudeDesktop();

  // The key of Lumetra's entry among the servers.
  static constexpr std::string_view serverName = "lumetra";

  // The existing entry with the command, its arguments and, for a scratch data folder, the
  // environment variable that points the tool at it; other members stay.
  [[nodiscard]] JSON entry(const std::filesystem::path& tool, const std::optional<std::filesystem::path>& dataFolder,
                           JSON existing) const;

  struct Merged {
    std::string bytes;
    Outcome outcome;
  };
  // The file's new bytes with Lumetra's entry, every other setting kept (keys sorted). Throws
  // InstallError unreadable when the file isn't a JSON object whose servers member is an object.
  [[nodiscard]] Merged merged(const std::optional<std::string>& current, const std::filesystem::path& tool,
                              const std::optional<std::filesystem::path>& dataFolder,
                              const std::filesystem::path& file) const;

  // Adds or updates Lumetra's entry in `file`: follows a link to the real file, keeps the
  // permission bits, and doesn't write when nothing changes. `missingFolder` is the error for a
  // parent folder that doesn't exist. Throws InstallError, or std::filesystem::filesystem_error.
  Outcome install(const std::filesystem::path& tool, const std::optional<std::filesystem::path>& dataFolder,
                  const std::filesystem::path& file, const InstallError& missingFolder) const;
};

}  // namespace lumetra
