// Registering `lumetra mcp` in each assistant's settings file, in a temporary home folder.
#include "install/AssistantConfig.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "install/ClaudeDesktopConfig.hpp"
#include "platform/FileSystem.hpp"
#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;
using Outcome = AssistantConfig::Outcome;

class AssistantConfigTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(tool.parent_path());
    test::writeFile(tool, "#!/bin/sh\n");
    fs::permissions(tool, fs::perms::owner_all);
    for (const auto* assistant : assistants()) fs::create_directories(file(*assistant).parent_path());
  }
  // The Claude desktop app first, through its own entry point, then the others.
  static std::vector<const AssistantConfig*> assistants() {
    std::vector<const AssistantConfig*> list{&AssistantConfig::claudeDesktop()};
    for (const auto& assistant : AssistantConfig::all()) list.push_back(&assistant);
    return list;
  }
  fs::path file(const AssistantConfig& assistant) const { return assistant.settingsFile(environment); }
  std::string outcome(const AssistantConfig& assistant, const std::optional<fs::path>& dataFolder = std::nullopt) {
    try {
      const Outcome result =
          &assistant == &AssistantConfig::claudeDesktop()
              ? ClaudeDesktopConfig::install(tool, file(assistant))
              : assistant.install(tool, dataFolder, file(assistant),
                                  InstallError(InstallError::Case::assistantNotFound,
                                               assistant.requiredFolder(environment), std::string(assistant.title)));
      return result == Outcome::added ? "added" : result == Outcome::updated ? "updated" : "unchanged";
    } catch (const InstallError& error) {
      return error.description();
    }
  }
  JSON config(const AssistantConfig& assistant) const { return JSON::parse(FileSystem::readFile(file(assistant))); }
  // Lumetra's entry as the assistant expects it, with extra members.
  JSON expected(const AssistantConfig& assistant, JSON members = JSON::object()) const {
    members["command"] = tool.string();
    members["args"] = JSON::array({"mcp"});
    if (assistant.typed) members["type"] = "stdio";
    return members;
  }

  test::TemporaryDirectory folder;
  fs::path tool = folder / "Lumetra.app/Contents/Helpers/lumetra";
  Environment environment{{"HOME", (folder / "home").string()}};
};

// Adding and leaving alone run through the install journey; what it can't see: an entry already
// right is not written again, and an empty file counts as an empty object.
TEST_F(AssistantConfigTest, LeavesAloneWithoutWriting) {
  const auto& claude = AssistantConfig::claudeDesktop();
  EXPECT_EQ(outcome(claude), "added");
  struct stat before {};
  ::stat(file(claude).c_str(), &before);
  EXPECT_EQ(outcome(claude), "unchanged");
  struct stat after {};
  ::stat(file(claude).c_str(), &after);
  EXPECT_EQ(before.st_ino, after.st_ino);
  test::writeFile(file(claude), " \n\t");
  EXPECT_EQ(outcome(claude), "added");
}

TEST_F(AssistantConfigTest, UpdatesKeepingEverythingElse) {
  for (const auto* assistant : assistants()) {
    SCOPED_TRACE(assistant->id);
    const std::string key(assistant->serversKey);
    const JSON before{{"theme", "dark"},
                      {"projects", {{"/src", {{"mcpServers", {{"lumetra", "theirs"}}}}}}},
                      {key, {{"other", {{"command", "x"}}}, {"lumetra", {{"command", "/old"}, {"disabled", false}}}}}};
    test::writeFile(file(*assistant), before.dump());
    fs::permissions(file(*assistant), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(outcome(*assistant), "updated");
    JSON after = before;
    after[key]["lumetra"] = expected(*assistant, {{"disabled", false}});
    EXPECT_EQ(config(*assistant), after);
    EXPECT_EQ(fs::status(file(*assistant)).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(file(*AssistantConfig::named("cursor")).parent_path()),
                          fs::directory_iterator()),
            1);  // no temporary file left beside it
}

// A scratch run's folder goes into the entry, and out again (the user's own variables stay).
TEST_F(AssistantConfigTest, ScratchDataFolderInTheEntry) {
  for (const auto& assistant : AssistantConfig::all()) {
    SCOPED_TRACE(assistant.id);
    EXPECT_EQ(outcome(assistant, fs::path("/tmp/scratch")), "added");
    EXPECT_EQ(config(assistant)[std::string(assistant.serversKey)]["lumetra"],
              expected(assistant, {{"env", {{"LUMETRA_DATA_DIR", "/tmp/scratch"}}}}));
    EXPECT_EQ(outcome(assistant), "updated");
    EXPECT_EQ(config(assistant)[std::string(assistant.serversKey)]["lumetra"], expected(assistant));
  }
  const auto& cursor = *AssistantConfig::named("cursor");
  test::writeFile(file(cursor), R"({"mcpServers":{"lumetra":{"env":{"TZ":"UTC"}}}})");
  EXPECT_EQ(outcome(cursor), "updated");
  EXPECT_EQ(config(cursor)["mcpServers"]["lumetra"], expected(cursor, {{"env", {{"TZ", "UTC"}}}}));
}

TEST_F(AssistantConfigTest, RefusesWhatItCantUnderstandAndLeavesItAlone) {
  for (const auto* assistant : assistants()) {
    SCOPED_TRACE(assistant->id);
    const std::string key(assistant->serversKey);
    const std::string unreadable = file(*assistant).string() + " isn't a JSON object with " +
                                   (key == "servers" ? "a servers" : "an mcpServers") +
                                   " object, so it was left alone. Fix it or add Lumetra by hand (see the README).";
    for (const std::string& bytes : std::vector<std::string>{"[1,2]", "{not json", "{\"" + key + "\":\"x\"}", "\xFF\xFE",
                                                             "{\"" + key + "\":{} // a comment\n}"}) {
      test::writeFile(file(*assistant), bytes);
      EXPECT_EQ(outcome(*assistant), unreadable) << bytes;
      EXPECT_EQ(FileSystem::readFile(file(*assistant)), bytes);
    }
  }
}

TEST_F(AssistantConfigTest, FollowsLinksAndRefusesBrokenOnes) {
  const auto& vscode = *AssistantConfig::named("vscode");
  const fs::path real = folder / "dotfiles/mcp.json";
  fs::create_directories(real.parent_path());
  test::writeFile(real, "{}");
  fs::create_symlink(real, file(vscode));
  EXPECT_EQ(outcome(vscode), "added");
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(file(vscode))));
  EXPECT_TRUE(JSON::parse(FileSystem::readFile(real)).contains("servers"));

  fs::remove(real);
  EXPECT_EQ(outcome(vscode), file(vscode).string() +
                                 " is a link to a file that doesn't exist, so it was left alone. Fix the link or add "
                                 "Lumetra by hand (see the README).");
}

TEST_F(AssistantConfigTest, NoAssistantOrNoTool) {
  const auto& claude = AssistantConfig::claudeDesktop();
  fs::remove_all(file(claude).parent_path());
  EXPECT_EQ(outcome(claude), "The Claude desktop app doesn't seem to be set up on this computer (there's no " +
                                 file(claude).parent_path().string() + "). Install Claude, open it once, and try again.");
  EXPECT_FALSE(fs::exists(file(claude).parent_path()));
  const auto& cursor = *AssistantConfig::named("cursor");
  fs::remove_all(file(cursor).parent_path());
  EXPECT_EQ(outcome(cursor), "Cursor doesn't seem to be set up for this user (there's no " +
                                 file(cursor).parent_path().string() + "). Install it, open it once, and try again.");
  environment["XDG_CONFIG_HOME"] = (folder / "xdg").string();
  EXPECT_EQ(file(*AssistantConfig::named("vscode")), folder / "xdg/Code/User/mcp.json");

  fs::remove(tool);
  EXPECT_EQ(outcome(*AssistantConfig::named("claude-code")),
            "The command-line tool isn't in this copy of Lumetra (" + tool.string() + ").");
}

}  // namespace
}  // namespace lumetra
