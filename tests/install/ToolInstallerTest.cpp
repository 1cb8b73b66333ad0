#include "install/ToolInstaller.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;
using ToolInstaller::InstallError;

class ToolInstallerTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(tool.parent_path());
    test::writeFile(tool, "#!/bin/sh\n");
    fs::permissions(tool, fs::perms::owner_all);
  }
  // Given what is at the link's place, expect the outcome of installing.
  std::string installed() {
    try {
      return ToolInstaller::install(tool, bin).string();
    } catch (const InstallError& error) {
      return error.description();
    }
  }

  test::TemporaryDirectory folder;
  fs::path tool = folder / "New Place/Lumetra.app/Contents/Helpers/lumetra";
  fs::path bin = folder / "home/.local/bin";
};

TEST_F(ToolInstallerTest, LinksAndReplacesOnlyWhatIsLumetras) {
  EXPECT_EQ(installed(), (bin / "lumetra").string());  // the folder is created
  EXPECT_EQ(fs::read_symlink(bin / "lumetra"), tool);
  struct stat before {};
  ::lstat((bin / "lumetra").c_str(), &before);
  EXPECT_EQ(installed(), (bin / "lumetra").string());  // again: nothing changes
  struct stat after {};
  ::lstat((bin / "lumetra").c_str(), &after);
  EXPECT_EQ(before.st_ino, after.st_ino);

  // A link to another copy of the app, and a dangling link, are replaced.
  for (const fs::path& target : {fs::path("/Old/Lumetra.app/Contents/Helpers/lumetra"), folder / "gone"}) {
    fs::remove(bin / "lumetra");
    fs::create_symlink(target, bin / "lumetra");
    EXPECT_EQ(installed(), (bin / "lumetra").string());
    EXPECT_EQ(fs::read_symlink(bin / "lumetra"), tool);
  }
  // A link to another program, and a regular file, are refused and left alone.
  const std::string occupied =
      (bin / "lumetra").string() + " already exists and isn't a link to Lumetra's tool. Remove it and try again.";
  fs::remove(bin / "lumetra");
  fs::create_symlink("/bin/sh", bin / "lumetra");
  EXPECT_EQ(installed(), occupied);
  EXPECT_EQ(fs::read_symlink(bin / "lumetra"), "/bin/sh");
  fs::remove(bin / "lumetra");
  test::writeFile(bin / "lumetra", "mine");
  EXPECT_EQ(installed(), occupied);
  EXPECT_TRUE(fs::is_regular_file(bin / "lumetra"));
  EXPECT_EQ(std::distance(fs::directory_iterator(bin), fs::directory_iterator()), 1);  // no temporary left
}

// The host links under its own name; removing takes only links to this very copy.
// Removing our own links runs through the install journey; a link into another copy stays.
TEST_F(ToolInstallerTest, RemovesOnlyLinksIntoThisCopy) {
  fs::create_directories(bin);
  fs::create_symlink("/Old/Lumetra.app/Contents/Helpers/lumetra", bin / "lumetra");
  EXPECT_FALSE(ToolInstaller::uninstall(tool, bin));
  EXPECT_EQ(fs::read_symlink(bin / "lumetra"), "/Old/Lumetra.app/Contents/Helpers/lumetra");
}

TEST_F(ToolInstallerTest, MissingOrNotExecutableTool) {
  fs::permissions(tool, fs::perms::owner_read | fs::perms::owner_write);
  if (::geteuid() != 0) {  // root may execute anything with an x bit only; without one, neither
    EXPECT_EQ(installed(), "The command-line tool isn't in this copy of Lumetra (" + tool.string() + ").");
  }
  fs::remove(tool);
  EXPECT_EQ(installed(), "The command-line tool isn't in this copy of Lumetra (" + tool.string() + ").");
  EXPECT_FALSE(fs::exists(bin));
}

}  // namespace
}  // namespace lumetra
