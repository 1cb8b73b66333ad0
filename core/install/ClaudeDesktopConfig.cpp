#include "install/ClaudeDesktopConfig.hpp"

#include "platform/UserFolders.hpp"

namespace lumetra::ClaudeDesktopConfig {

namespace fs = std::filesystem;

fs::path configURL(const fs::path& home) {
  return AssistantConfig::claudeDesktop().settingsFile(Environment{{"HOME", home.string()}});
}

JSON entry(const fs::path& tool, JSON existing) {
  return AssistantConfig::claudeDesktop().entry(tool, std::nullopt, std::move(existing));
}

Merged merged(const std::optional<std::string>& current, const fs::path& tool, const fs::path& file) {
  return AssistantConfig::claudeDesktop().merged(current, tool, std::nullopt, file);
}

Outcome install(const fs::path& tool, const fs::path& file) {
  return AssistantConfig::claudeDesktop().install(tool, std::nullopt, file,
                                                  InstallError(InstallError::Case::claudeNotFound, file.parent_path()));
}

}  // namespace lumetra::ClaudeDesktopConfig
