#include "platform/UserFolders.hpp"

namespace lumetra::UserFolders {

std::filesystem::path applicationSupport(const Environment& environment) {
  // The XDG rule: a relative XDG_DATA_HOME is invalid and is ignored.
  if (auto it = environment.find("XDG_DATA_HOME"); it != environment.end() && !it->second.empty() &&
                                                   it->second.front() == '/') {
    return it->second;
  }
  return home(environment) / ".local" / "share";
}

std::filesystem::path applicationSettings(const std::filesystem::path& home) { return home / ".config"; }

std::filesystem::path settings(const Environment& environment) {
  const auto xdg = environment.find("XDG_CONFIG_HOME");
  if (xdg != environment.end() && std::filesystem::path(xdg->second).is_absolute()) return xdg->second;
  return applicationSettings(home(environment));
}

}  // namespace lumetra::UserFolders
