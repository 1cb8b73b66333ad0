#include "host/DataFolder.hpp"

#include <cstdio>
#include <cstring>

#include "actions/Console.hpp"
#include "install/LegacyData.hpp"
#include "platform/FileSystem.hpp"
#include "platform/ProcessInfo.hpp"
#include "platform/UserFolders.hpp"

namespace lumetra {

namespace {

using Console::say;

// The folder must be this user's; one others may read or change is used, with a word.
void checkOwnership(const std::filesystem::path& directory) {
  const auto status = FileSystem::status(directory);
  if (!status) return;  // creating it, or the lock, says what is wrong
  if (status->owner != ProcessInfo::userId()) {
    throw CantStart("The data folder " + directory.string() +
                    " belongs to another user, so Lumetra won't use it. Set LUMETRA_DATA_DIR to a folder of your own.");
  }
  if ((status->mode & 077) != 0) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", status->mode);
    say("The data folder " + directory.string() + " can be read or changed by other users (mode " + mode +
        "). Run “chmod 700 " + directory.string() + "” to keep your time private.");
  }
}

// Creates the folder (owner-only) when it is missing.
void prepare(const std::filesystem::path& directory) {
  std::error_code error;
  if (!std::filesystem::is_directory(directory, error)) {
    if (!directory.parent_path().empty()) std::filesystem::create_directories(directory.parent_path(), error);
    if (const int failure = FileSystem::createFolder(directory, 0700); failure != 0) {
      throw CantStart("Couldn't create the data folder " + directory.string() + ": " + std::strerror(failure) + ".");
    }
  }
  checkOwnership(directory);
}

// Moves the earlier application's data into place.
void takeOverLegacyData(const std::filesystem::path& earlier, const std::filesystem::path& current) {
  try {
    switch (LegacyData::migrate(earlier, current)) {
      case LegacyData::Outcome::moved:
        say("Moved your Hourbook data from " + earlier.string() + " to " + current.string() + ".");
        break;
      case LegacyData::Outcome::bothExist:
        say("Hourbook's data is still in " + earlier.string() + "; Lumetra keeps using " + current.string() +
            ". Move or delete one of them.");
        break;
      case LegacyData::Outcome::nothingToMove:
        break;
    }
  } catch (const std::filesystem::filesystem_error& error) {
    throw CantStart("Couldn't take over the Hourbook data in " + earlier.string() + ": " + error.code().message() +
                    ". Nothing else was changed; fix that and start Lumetra again.");
  }
}

}  // namespace

DataFolder::DataFolder(std::filesystem::path directory, bool scratch)
    : path_(std::move(directory)),
      lock_([&] {
        // While the folder doesn't exist no host can be using it, so the earlier application's
        // data may move in before the lock; otherwise the move waits for the lock.
        const auto earlier = LegacyData::defaultDirectory(UserFolders::currentEnvironment());
        if (!scratch && LegacyData::needsMove(earlier, path_)) takeOverLegacyData(earlier, path_);
        prepare(path_);
        return path_ / std::string(lockName);
      }()) {
  if (!lock_.held()) {
    if (lock_.error() != 0) {
      throw CantStart("Couldn't lock the data folder " + path_.string() + ": " + std::strerror(lock_.error()) + ".");
    }
    std::string holder = FileLock::recorded(path_ / std::string(lockName));
    while (!holder.empty() && holder.back() == '\n') holder.pop_back();
    throw CantStart("Lumetra is already running on " + path_.string() + (holder.empty() ? "" : " (process " + holder + ")") +
                    ". Stop it first, or use another data folder.");
  }
  lock_.record(std::to_string(ProcessInfo::processId()) + "\n");
  if (!scratch) takeOverLegacyData(LegacyData::defaultDirectory(UserFolders::currentEnvironment()), path_);

  const auto database = path_ / std::string(Store::databaseName);
  // Files from before the host made its files private are made so now; SQLite gives the journal
  // files the database's own mode.
  for (const char* suffix : {"", "-wal", "-shm"}) (void)FileSystem::setMode(database.string() + suffix, 0600);
  try {
    store_ = std::make_unique<Store>(database.string());
  } catch (const DatabaseError& error) {
    throw CantStart(error.isDamage() ? damaged(error.message()) : error.description());
  }
  if (const auto damage = store_->damage()) throw CantStart(damaged(*damage));
}

std::string DataFolder::damaged(const std::string& finding) const {
  const std::string database = (path_ / std::string(Store::databaseName)).string();
  return "The database " + database + " is damaged (" + finding + "), so Lumetra won't use it. Restore it from a backup, or try “sqlite3 " +
         database + " .recover”, then start Lumetra again.";
}

}  // namespace lumetra
