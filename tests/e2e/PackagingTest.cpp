// What the package ships beside the programs: man pages that list exactly the commands of each
// program's help, and a bash completion that asks the real host for project names.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "e2e/HostFixture.hpp"
#include "platform/FileSystem.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;
const fs::path kPackaging = LUMETRA_PACKAGING_DIR;

bool isCommandWord(std::string_view word) {
  return !word.empty() && word[0] >= 'a' && word[0] <= 'z' &&
         std::all_of(word.begin(), word.end(), [](char c) { return (c >= 'a' && c <= 'z') || c == '-'; });
}

// The leading lower-case words (at most two) of each indented help line: "project add", "status".
std::set<std::string> helpCommands(const std::string& help) {
  std::set<std::string> commands;
  std::istringstream lines(help);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("  ") || line.size() < 3 || line[2] == ' ') continue;
    std::istringstream words(line.substr(2));
    std::string first, second;
    words >> first >> second;
    if (!isCommandWord(first)) continue;
    commands.insert(isCommandWord(second) ? first + " " + second : first);
  }
  return commands;
}

// The bold words that open each entry of the man page's COMMANDS section: "*project add* _NAME_".
std::set<std::string> manCommands(const fs::path& source) {
  std::set<std::string> commands;
  std::istringstream lines(FileSystem::readFile(source));
  bool inside = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("# ")) inside = line == "# COMMANDS";
    const auto close = line.find('*', 1);
    if (!inside || !line.starts_with("*") || close == std::string::npos) continue;
    const std::string words = line.substr(1, close - 1);
    std::istringstream split(words);
    bool command = true;
    for (std::string word; split >> word;) command = command && isCommandWord(word);
    if (command) commands.insert(words);
  }
  return commands;
}

TEST(PackagingTest, ManPagesListTheCommandsOfTheHelp) {
  for (const auto& [program, page] : {std::pair{LUMETRA_TOOL_PATH, "lumetra.1.scd"}, {LUMETRA_APP_PATH, "lumetra-app.1.scd"}}) {
    SCOPED_TRACE(page);
    const auto help = test::runProcess(program, {"help"});
    const auto listed = helpCommands(help.out);
    EXPECT_GE(listed.size(), 10u) << help.out;
    EXPECT_EQ(manCommands(kPackaging / "man" / page), listed);
  }
}

class BashCompletionTest : public test::HostFixture {
 protected:
  // What the real completion script offers for the words typed so far, sorted.
  std::string offered(const std::vector<std::string>& words) {
    std::string script = "source '" + (kPackaging / "completion/lumetra.bash").string() + "'\nCOMP_WORDS=(";
    for (const auto& word : words) script += "'" + word + "' ";
    script += ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) +
              "\n$(complete -p " + words[0] + " | sed 's/.*-F \\([^ ]*\\) .*/\\1/')\n"
              "printf '%s\\n' \"${COMPREPLY[@]}\" | sort\n";
    auto env = environment();
    env["PATH"] = fs::path(LUMETRA_TOOL_PATH).parent_path().string() + ":" +
                  fs::path(LUMETRA_APP_PATH).parent_path().string() + ":/usr/bin:/bin";
    const auto result = test::runProcess("/bin/bash", {"--norc", "-c", script}, env);
    EXPECT_EQ(result.err, "");
    std::string out = result.out;
    std::replace(out.begin(), out.end(), '\n', ' ');
    return out;
  }
};

TEST_F(BashCompletionTest, CommandsOptionsAndProjectsFromTheHost) {
  ASSERT_EQ(app({"project", "add", "Garden"}).status, 0);
  ASSERT_EQ(app({"project", "add", "Big Garden"}).status, 0);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {{"lumetra", "st"}, "start status stop "},
      {{"lumetra", "start", "G"}, "Garden "},
      {{"lumetra", "start", "B"}, "Big\\ Garden "},
      {{"lumetra", "sessions", "--pro"}, "--project "},
      {{"lumetra", "sessions", "-p", ""}, "Big\\ Garden Garden "},
      {{"lumetra-app", "project", "r"}, "rename "},
      {{"lumetra-app", "project", "archive", "G"}, "Garden "},
      {{"lumetra-app", "export", "This"}, "This\\ Month This\\ Week "},
      {{"lumetra-app", "install-mcp", "c"}, "claude-code cursor "},
  };
  for (const auto& [words, expected] : cases) EXPECT_EQ(offered(words), expected) << words.back();
  stopHost();
  EXPECT_EQ(offered({"lumetra", "start", "G"}), " ");  // no host: nothing, quickly
}

}  // namespace
}  // namespace lumetra
