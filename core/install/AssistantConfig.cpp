#include "install/AssistantConfig.hpp"

#include <algorithm>
#include <array>

#include "platform/FileSystem.hpp"

namespace lumetra {

namespace fs = std::filesystem;

namespace {

fs::path homeOf(const Environment& environment) { return UserFolders::home(environment); }

// Claude Code keeps user-scoped servers in the top-level "mcpServers" of ~/.claude.json
// (https://code.claude.com/docs/en/mcp, "MCP installation scopes").
fs::path claudeCodeFile(const Environment& environment) { return homeOf(environment) / ".claude.json"; }

// VS Code's user profile holds mcp.json, whose servers sit under "servers" with a "type"
// (https://code.visualstudio.com/docs/copilot/reference/mcp-configuration).
fs::path vscodeFolder(const Environment& environment) { return UserFolders::settings(environment) / "Code" / "User"; }
fs::path vscodeFile(const Environment& environment) { return vscodeFolder(environment) / "mcp.json"; }

// Cursor's global servers are the "mcpServers" of ~/.cursor/mcp.json (https://cursor.com/docs/mcp).
fs::path cursorFolder(const Environment& environment) { return homeOf(environment) / ".cursor"; }
fs::path cursorFile(const Environment& environment) { return cursorFolder(environment) / "mcp.json"; }

fs::path claudeDesktopFile(const Environment& environment) {
  return UserFolders::applicationSettings(homeOf(environment)) / "Claude" / "claude_desktop_config.json";
}
fs::path parentOfFile(const Environment& environment) { return claudeDesktopFile(environment).parent_path(); }

const std::array<AssistantConfig, 3> kAssistants{{
    {"claude-code", "Claude Code", "mcpServers", true, claudeCodeFile, homeOf},
    {"vscode", "VS Code", "servers", true, vscodeFile, vscodeFolder},
    {"cursor", "Cursor", "mcpServers", false, cursorFile, cursorFolder},
}};

const char* const kDataFolderVariable = "LUMETRA_DATA_DIR";

}  // namespace

std::span<const AssistantConfig> AssistantConfig::all() { return kAssistants; }

const AssistantConfig* AssistantConfig::named(std::string_view id) {
  const auto it = std::find_if(kAssistants.begin(), kAssistants.end(), [&](const auto& a) { return a.id == id; });
  return it == kAssistants.end() ? nullptr : &*it;
}

const AssistantConfig& AssistantConfig::claudeDesktop() {
  static const AssistantConfig claude{"claude-desktop", "the Claude desktop app", "mcpServers", false,
                                      claudeDesktopFile, parentOfFile};
  return claude;
}

JSON AssistantConfig::entry(const fs::path& tool, const std::optional<fs::path>& dataFolder, JSON existing) const {
  if (!existing.is_object()) existing = JSON::object();
  if (typed) existing["type"] = "stdio";
  existing["command"] = tool.string();
  existing["args"] = JSON::array({"mcp"});
  // A scratch run's tool must reach the same host; otherwise the default folder is the right one.
  JSON& environment = existing["env"];
  if (!environment.is_object()) environment = JSON::object();
  if (dataFolder) {
    environment[kDataFolderVariable] = dataFolder->string();
  } else {
    environment.erase(kDataFolderVariable);
  }
  if (environment.empty()) existing.erase("env");
  return existing;
}

AssistantConfig::Merged AssistantConfig::merged(const std::optional<std::string>& current, const fs::path& tool,
                                                const std::optional<fs::path>& dataFolder, const fs::path& file) const {
  const InstallError unreadable(InstallError::Case::unreadable, file, std::string(serversKey));
  JSON top = JSON::object();
  if (current && current->find_first_not_of(" \t\r\n") != std::string::npos) {
    try {
      top = JSON::parse(*current);
    } catch (const JSON::exception&) {
      throw unreadable;
    }
    if (!top.is_object()) throw unreadable;
  }
  JSON& servers = top[std::string(serversKey)];
  if (servers.is_null()) servers = JSON::object();
  if (!servers.is_object()) throw unreadable;

  const std::string name(serverName);
  const bool had = servers.contains(name);
  const JSON old = had ? servers[name] : JSON();
  const JSON updated = entry(tool, dataFolder, old.is_object() ? old : JSON::object());
  const Outcome outcome = !had ? Outcome::added : old == updated ? Outcome::unchanged : Outcome::updated;
  servers[name] = updated;
  return Merged{WireCoding::pretty(top) + "\n", outcome};
}

AssistantConfig::Outcome AssistantConfig::install(const fs::path& tool, const std::optional<fs::path>& dataFolder,
                                                  const fs::path& file, const InstallError& missingFolder) const {
  if (!FileSystem::isExecutableFile(tool)) throw InstallError(InstallError::Case::toolMissing, tool);
  std::error_code error;
  if (!fs::is_directory(file.parent_path(), error)) throw missingFolder;
  if (fs::is_symlink(fs::symlink_status(file, error)) && !fs::exists(file, error)) {
    throw InstallError(InstallError::Case::brokenLink, file);
  }
  // A linked file is updated where it really lives, and the link stays a link.
  const fs::path place = fs::exists(file, error) ? fs::canonical(file) : file;

  std::optional<std::string> bytes;
  if (fs::exists(place, error)) {
    try {
      bytes = FileSystem::readFile(place);
    } catch (const std::system_error& failure) {
      throw fs::filesystem_error("Couldn't read", place, failure.code());
    }
  }
  const Merged result = merged(bytes, tool, dataFolder, file);
  if (result.outcome == Outcome::unchanged) return result.outcome;

  const auto permissions = bytes ? std::optional(fs::status(place).permissions()) : std::nullopt;
  FileSystem::writeAtomically(place, result.bytes);
  if (permissions) fs::permissions(place, *permissions);
  return result.outcome;
}

}  // namespace lumetra
