#include "install/LegacyData.hpp"

#include "store/Store.hpp"

namespace lumetra::LegacyData {

namespace fs = std::filesystem;

namespace {

// The write-ahead log first and the main file last, so that a database never appears under
// the new name without its log.
void renameDatabase(const fs::path& folder) {
  const fs::path old = folder / std::string(databaseName), current = folder / std::string(Store::databaseName);
  if (!fs::exists(old) || fs::exists(current)) return;
  for (const char* suffix : {"-wal", "-shm", ""}) {
    const fs::path from = old.string() + suffix;
    if (fs::exists(from)) fs::rename(from, current.string() + suffix);
  }
}

}  // namespace

fs::path defaultDirectory(const Environment& environment) {
  return UserFolders::applicationSupport(environment) / "Hourbook";
}

bool needsMove(const fs::path& earlier, const fs::path& current) {
  std::error_code error;
  return fs::exists(earlier, error) && !fs::exists(current, error);
}

Outcome migrate(const fs::path& earlier, const fs::path& current) {
  Outcome outcome = Outcome::moved;
  if (!fs::exists(earlier)) {
    outcome = Outcome::nothingToMove;
  } else if (fs::exists(current)) {
    outcome = Outcome::bothExist;
  } else {
    fs::create_directories(current.parent_path());
    fs::rename(earlier, current);
  }
  if (fs::exists(current)) renameDatabase(current);
  return outcome;
}

}  // namespace lumetra::LegacyData
