#include "platform/UserFolders.hpp"

namespace lumetra::UserFolders {

std::filesystem::path applicationSupport(const Environment& environment) {
  return home(environment) / "Library" / "Application Support";
}

std::filesystem::path applicationSettings(const std::filesystem::path& home) { return home / "Library" / "Application Support"; }

std::filesystem::path settings(const Environment& environment) { return applicationSettings(home(environment)); }

}  // namespace lumetra::UserFolders
