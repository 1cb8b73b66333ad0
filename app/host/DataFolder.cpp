#include "host/DataFolder.hpp"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "actions/Console.hpp"
#include "install/LegacyData.hpp"
#include "platform/FileSystem.hpp"
#include "platform/ProcessInfo.hpp"
#include "platform/SystemError.hpp"
#include "platform/UserFolders.hpp"

namespace lumetra {

namespace {

using Console::say;

std::string octal(unsigned mode) {
  char text[16];
  std::snprintf(text, sizeof text, "%04o", mode);
  return text;
}

// The folder must be this user's and only this user's to change: whoever else could put a file
// or a link in place of the database would collect every project and description. One others
// may only read is used, with a word.
void checkOwnership(const std::filesystem::path& directory) {
  const auto status = FileSystem::status(directory);
  if (!status) return;  // creating it, or the lock, says what is wrong
  const std::string folder = directory.string();
  if (status->owner != ProcessInfo::userId()) {
    throw CantStart("The data folder " + folder +
                    " belongs to another user, so Lumetra won't use it. Set LUMETRA_DATA_DIR to a folder of your own.");
  }
  if ((status->mode & 022) != 0) {
    throw CantStart("The data folder " + folder + " can be changed by other users (mode " + octal(status->mode) +
                    "), so Lumetra won't use it: they could put their own file in place of your database. Run “chmod "
                    "700 " + folder + "” and start Lumetra again.");
  }
  if ((status->mode & 077) != 0) {
    say("The data folder " + folder + " can be read by other users (mode " + octal(status->mode) + "). Run “chmod 700 " +
        folder + "” to keep your time private.");
  }
  if (const int error = FileSystem::writableFolder(directory); error != 0) {
    throw CantStart("The data folder " + folder + " can't be written (" + SystemError::text(error) +
                    "), so Lumetra can't keep your time there. Make it writable, or set LUMETRA_DATA_DIR to another "
                    "folder.");
  }
}

// The database and its journal files are this user's own files, not links: a link could lead
// the host, root's included, to write into someone else's file.
void checkDatabaseFiles(const std::filesystem::path& database) {
  for (const char* suffix : {"", "-wal", "-shm"}) {
    const std::filesystem::path file = database.string() + suffix;
    const auto own = FileSystem::linkStatus(file);
    if (!own) continue;
    if (own->link) {
      throw CantStart("The database file " + file.string() + " is a link, so Lumetra won't use it. Put the file itself "
                      "there, or set LUMETRA_DATA_DIR to another folder.");
    }
    if (own->owner != ProcessInfo::userId()) {
      throw CantStart("The database file " + file.string() + " belongs to another user, so Lumetra won't use it. "
                      "Set LUMETRA_DATA_DIR to a folder of your own.");
    }
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
    // The holder writes its process id right after taking the lock: wait a moment for it.
    std::string holder;
    for (int tries = 0; tries < 50 && holder.empty(); ++tries) {
      if (tries > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      holder = FileLock::recorded(path_ / std::string(lockName));
      while (!holder.empty() && holder.back() == '\n') holder.pop_back();
    }
    throw CantStart("Lumetra is already running on " + path_.string() + (holder.empty() ? "" : " (process " + holder + ")") +
                    ". Stop it first, or use another data folder.");
  }
  lock_.record(std::to_string(ProcessInfo::processId()) + "\n");
  if (!scratch) takeOverLegacyData(LegacyData::defaultDirectory(UserFolders::currentEnvironment()), path_);

  const auto database = path_ / std::string(Store::databaseName);
  checkDatabaseFiles(database);
  // Files from before the host made its files private are made so now; SQLite gives the journal
  // files the database's own mode.
  for (const char* suffix : {"", "-wal", "-shm"}) (void)FileSystem::setMode(database.string() + suffix, 0600);
  try {
    store_ = std::make_unique<Store>(database.string());
    reader_ = std::make_unique<Store>(database.string(), Database::readOnly);
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
