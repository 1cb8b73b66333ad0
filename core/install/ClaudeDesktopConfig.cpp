#include "install/ClaudeDesktopConfig.hpp"

#include "platform/UserFolders.hpp"

#include <fstream>
#include <iterator>

#include "platform/FileSystem.hpp"

namespace lumetra::ClaudeDesktopConfig {

namespace fs = std::filesystem;

fs::path configURL(const fs::path& home) {
  return UserFolders::applicationSettings(home) / "Claude" / "claude_desktop_config.json";
}

JSON entry(const fs::path& tool, JSON existing) {
  if (!existing.is_object()) existing = JSON::object();
  existing["command"] = tool.string();
  existing["args"] = JSON::array({"mcp"});
  return existing;
}

Merged merged(const std::optional<std::string>& current, const fs::path& tool, const fs::path& file) {
  JSON top = JSON::object();
  if (current && current->find_first_not_of(" \t\r\n") != std::string::npos) {
    try {
      top = JSON::parse(*current);
    } catch (const JSON::exception&) {
      throw InstallError(InstallError::Case::unreadable, file);
    }
    if (!top.is_object()) throw InstallError(InstallError::Case::unreadable, file);
  }
  JSON& servers = top["mcpServers"];
  if (servers.is_null()) servers = JSON::object();
  if (!servers.is_object()) throw InstallError(InstallError::Case::unreadable, file);

  const std::string name(serverName);
  const bool had = servers.contains(name);
  const JSON old = had ? servers[name] : JSON();
  const JSON updated = entry(tool, old.is_object() ? old : JSON::object());
  const Outcome outcome = !had ? Outcome::added : old == updated ? Outcome::unchanged : Outcome::updated;
  servers[name] = updated;
  return Merged{WireCoding::pretty(top) + "\n", outcome};
}

Outcome install(const fs::path& tool, const fs::path& file) {
  if (!FileSystem::isExecutableFile(tool)) throw InstallError(InstallError::Case::toolMissing, tool);
  std::error_code error;
  if (!fs::is_directory(file.parent_path(), error)) {
    throw InstallError(InstallError::Case::claudeNotFound, file.parent_path());
  }
  if (fs::is_symlink(fs::symlink_status(file, error)) && !fs::exists(file, error)) {
    throw InstallError(InstallError::Case::brokenLink, file);
  }
  // A linked file is updated where it really lives, and the link stays a link.
  const fs::path place = fs::exists(file, error) ? fs::canonical(file) : file;

  std::optional<std::string> bytes;
  if (fs::exists(place, error)) {
    std::ifstream in(place, std::ios::binary);
    if (!in) throw fs::filesystem_error("Couldn't read", place, std::make_error_code(std::errc::permission_denied));
    bytes = std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  const Merged result = merged(bytes, tool, file);
  if (result.outcome == Outcome::unchanged) return result.outcome;

  const auto permissions = bytes ? std::optional(fs::status(place).permissions()) : std::nullopt;
  FileSystem::writeAtomically(place, result.bytes);
  if (permissions) fs::permissions(place, *permissions);
  return result.outcome;
}

}  // namespace lumetra::ClaudeDesktopConfig
