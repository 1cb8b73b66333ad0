#include "install/ClaudeDesktopConfig.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;
using ClaudeDesktopConfig::InstallError;
using ClaudeDesktopConfig::Outcome;

std::string read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ClaudeDesktopConfigTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(tool.parent_path());
    test::writeFile(tool, "#!/bin/sh\n");
    fs::permissions(tool, fs::perms::owner_all);
    fs::create_directories(file.parent_path());
  }
  std::string outcome() {
    try {
      switch (ClaudeDesktopConfig::install(tool, file)) {
        case Outcome::added:
          return "added";
        case Outcome::updated:
          return "updated";
        case Outcome::unchanged:
          return "unchanged";
      }
    } catch (const InstallError& error) {
      return error.description();
    }
    return "?";
  }
  JSON config() { return JSON::parse(read(file)); }

  test::TemporaryDirectory folder;
  fs::path tool = folder / "Lumetra.app/Contents/Helpers/lumetra";
  fs::path file = ClaudeDesktopConfig::configURL(folder / "home");
};

TEST_F(ClaudeDesktopConfigTest, AddsThenLeavesAlone) {
  EXPECT_EQ(outcome(), "added");
  EXPECT_EQ(config(), JSON::parse(R"({"mcpServers":{"lumetra":{"args":["mcp"],"command":")" + tool.string() + "\"}}}"));
  struct stat before {};
  ::stat(file.c_str(), &before);
  EXPECT_EQ(outcome(), "unchanged");
  struct stat after {};
  ::stat(file.c_str(), &after);
  EXPECT_EQ(before.st_ino, after.st_ino);  // not written again
  EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
}

TEST_F(ClaudeDesktopConfigTest, UpdatesKeepingEverythingElse) {
  test::writeFile(file, R"({"theme":"dark","mcpServers":{"other":{"command":"x"},"lumetra":{"command":"/old","env":{"A":"1"}}}})");
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(outcome(), "updated");
  EXPECT_EQ(config(), JSON::parse(R"({"theme":"dark","mcpServers":{"other":{"command":"x"},"lumetra":{"args":["mcp"],)"
                                  R"("command":")" + tool.string() + R"(","env":{"A":"1"}}}})"));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(std::distance(fs::directory_iterator(file.parent_path()), fs::directory_iterator()), 1);
}

TEST_F(ClaudeDesktopConfigTest, EmptyFilesCountAsEmptyObjects) {
  test::writeFile(file, " \n\t");
  EXPECT_EQ(outcome(), "added");
}

TEST_F(ClaudeDesktopConfigTest, RefusesWhatItCantUnderstandAndLeavesItAlone) {
  const std::string unreadable = file.string() +
                                 " isn't a JSON object with an mcpServers object, so it was left alone. Fix it or add "
                                 "Lumetra by hand (see the README).";
  for (const std::string bytes : {"[1,2]", "{not json", R"({"mcpServers":"x"})", "\xFF\xFE"}) {
    test::writeFile(file, bytes);
    EXPECT_EQ(outcome(), unreadable) << bytes;
    EXPECT_EQ(read(file), bytes);
  }
}

TEST_F(ClaudeDesktopConfigTest, FollowsLinksAndRefusesBrokenOnes) {
  const fs::path real = folder / "elsewhere/config.json";
  fs::create_directories(real.parent_path());
  test::writeFile(real, "{}");
  fs::create_symlink(real, file);
  EXPECT_EQ(outcome(), "added");
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file)));
  EXPECT_TRUE(JSON::parse(read(real)).contains("mcpServers"));

  fs::remove(real);
  EXPECT_EQ(outcome(), file.string() +
                           " is a link to a file that doesn't exist, so it was left alone. Fix the link or add Lumetra "
                           "by hand (see the README).");
}

TEST_F(ClaudeDesktopConfigTest, NoClaudeOrNoTool) {
  fs::remove_all(file.parent_path());
  EXPECT_EQ(outcome(), "The Claude desktop app doesn't seem to be set up on this Mac (there's no " +
                           file.parent_path().string() + "). Install Claude, open it once, and try again.");
  EXPECT_FALSE(fs::exists(file.parent_path()));
  fs::remove(tool);
  EXPECT_EQ(outcome(), "The command-line tool isn't in this copy of Lumetra (" + tool.string() + ").");
}

}  // namespace
}  // namespace lumetra
