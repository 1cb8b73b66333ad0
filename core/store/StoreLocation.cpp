// The data-directory rules of Store. They live apart from the database code so that the
// command-line tool, which only needs the socket's folder, links no SQLite.
#include "store/Store.hpp"

namespace lumetra {

namespace {
constexpr const char* kOverrideVariable = "LUMETRA_DATA_DIR";
constexpr const char* kFolderName = "Lumetra";
}  // namespace

std::optional<std::filesystem::path> Store::directoryOverride() {
  auto value = UserFolders::environmentValue(kOverrideVariable);
  if (!value || value->empty()) return std::nullopt;
  return std::filesystem::path(*value);
}

std::optional<std::filesystem::path> Store::directoryOverride(const Environment& environment) {
  const auto it = environment.find(kOverrideVariable);
  if (it == environment.end() || it->second.empty()) return std::nullopt;
  return std::filesystem::path(it->second);
}

std::filesystem::path Store::defaultDirectory() {
  if (auto override = directoryOverride()) return *override;
  return UserFolders::applicationSupport(UserFolders::currentEnvironment()) / kFolderName;
}

std::filesystem::path Store::defaultDirectory(const Environment& environment) {
  if (auto override = directoryOverride(environment)) return *override;
  return UserFolders::applicationSupport(environment) / kFolderName;
}

}  // namespace lumetra
