// AppMover, RunMode and LegacyData on real folders.
#include <gtest/gtest.h>

#include "install/AppMover.hpp"
#include "install/LegacyData.hpp"
#include "install/RunMode.hpp"
#include "platform/FileSystem.hpp"
#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;

void makeBundle(const fs::path& bundle, const std::string& identifier) {
  fs::create_directories(bundle / "Contents/MacOS");
  test::writeFile(bundle / "Contents/Info.plist",
                  "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><string>" +
                      identifier + "</string></dict></plist>");
  test::writeFile(bundle / "Contents/MacOS/app", "binary");
}

TEST(AppMoverTest, InstalledCopiesAndInstall) {
  test::TemporaryDirectory folder;
  makeBundle(folder / "a/Hourbook.app", "com.oakmoth.hourbook");
  makeBundle(folder / "b/Hourbook.app", "com.example.other");
  const std::set<std::string> ids(LegacyData::bundleIds.begin(), LegacyData::bundleIds.end());
  EXPECT_EQ(AppMover::installedCopies("Hourbook.app", ids, {folder / "missing", folder / "b", folder / "a"}),
            std::vector<fs::path>{folder / "a/Hourbook.app"});

  makeBundle(folder / "src/Lumetra.app", "com.oakmoth.lumetra");
  const auto& quarantine = FileSystem::quarantineAttribute();
  const bool attributes = FileSystem::setAttribute(folder / "src/Lumetra.app/Contents/Info.plist", quarantine, "0081");
  FileSystem::setAttribute(folder / "src/Lumetra.app", quarantine, "0081");
  makeBundle(folder / "dest/Lumetra.app", "old");  // an older copy to replace
  const auto installed = AppMover::install(folder / "src/Lumetra.app", folder / "dest");
  EXPECT_EQ(installed, folder / "dest/Lumetra.app");
  EXPECT_EQ(AppMover::installedCopies("Lumetra.app", {"com.oakmoth.lumetra"}, {folder / "dest"}).size(), 1u);
  if (attributes) {  // some file systems (tmpfs without user xattrs) have none to clear
    for (const auto& entry : fs::recursive_directory_iterator(installed)) {
      EXPECT_FALSE(FileSystem::hasAttribute(entry.path(), quarantine)) << entry.path();
    }
    EXPECT_FALSE(FileSystem::hasAttribute(installed, quarantine));
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "dest"), fs::directory_iterator()), 1);
  EXPECT_EQ(AppMover::install(folder / "src/Lumetra.app", folder / "new/deeper"), folder / "new/deeper/Lumetra.app");
}

TEST(RunModeTest, NotesAndOffers) {
  const auto note = [](const char* scratch, const char* home) {
    return RunMode{fs::path(scratch)}.menuNote(home).value_or("(none)");
  };
  EXPECT_EQ(note("/Users/a", "/Users/a"), "Scratch run: ~");
  EXPECT_EQ(note("/Users/a/tmp/x", "/Users/a"), "Scratch run: ~/tmp/x");
  EXPECT_EQ(note("/tmp/x", "/Users/a"), "Scratch run: /tmp/x");
  EXPECT_EQ(note("/tmp/x", "/"), "Scratch run: /tmp/x");
  EXPECT_EQ(RunMode{}.menuNote("/Users/a"), std::nullopt);
  EXPECT_EQ(RunMode::from({{"LUMETRA_DATA_DIR", ""}}), RunMode{});
  const RunMode scratch{fs::path("/tmp/x")}, normal{};
  EXPECT_FALSE(scratch.offersMoveToApplications(false, false));
  EXPECT_FALSE(scratch.handsOffToLaunchd(true, false));
  EXPECT_TRUE(normal.offersMoveToApplications(false, false));
  EXPECT_TRUE(normal.handsOffToLaunchd(true, false));
  EXPECT_FALSE(normal.handsOffToLaunchd(true, true));
}

TEST(LegacyDataTest, Migrations) {
  test::TemporaryDirectory folder;
  const fs::path earlier = folder / "Hourbook", current = folder / "deep/Lumetra";
  EXPECT_FALSE(LegacyData::needsMove(earlier, current));
  EXPECT_EQ(LegacyData::migrate(earlier, current), LegacyData::Outcome::nothingToMove);

  fs::create_directories(earlier);
  for (const char* name : {"hourbook.sqlite", "hourbook.sqlite-wal", "hourbook.sqlite-shm"}) {
    test::writeFile(earlier / name, name);
  }
  EXPECT_TRUE(LegacyData::needsMove(earlier, current));
  EXPECT_EQ(LegacyData::migrate(earlier, current), LegacyData::Outcome::moved);
  EXPECT_FALSE(fs::exists(earlier));
  for (const char* suffix : {"", "-wal", "-shm"}) {
    EXPECT_TRUE(fs::exists(current / (std::string("lumetra.sqlite") + suffix))) << suffix;
  }
  EXPECT_EQ(LegacyData::migrate(earlier, current), LegacyData::Outcome::nothingToMove);  // a second run is safe

  // Both present: nothing moves, and an existing lumetra.sqlite is never overwritten.
  fs::create_directories(earlier);
  test::writeFile(current / "hourbook.sqlite", "old");
  EXPECT_EQ(LegacyData::migrate(earlier, current), LegacyData::Outcome::bothExist);
  EXPECT_TRUE(fs::exists(earlier));
  EXPECT_TRUE(fs::exists(current / "hourbook.sqlite"));
  EXPECT_FALSE(LegacyData::needsMove(earlier, current));
}

}  // namespace
}  // namespace lumetra
