// The bash completion made from the command table, asking the real host for project names.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/HostFixture.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;

class BashCompletionTest : public test::HostFixture {
 protected:
  // What the real completion script offers for the words typed so far, sorted.
  std::string offered(const std::vector<std::string>& words) {
    std::string script = "source '" + (fs::path(LUMETRA_COMPLETION_DIR) / "lumetra.bash").string() + "'\nCOMP_WORDS=(";
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
      {{"lumetra-app", "export", "This"}, "This\\ Month This\\ Week This\\ Year "},
      {{"lumetra-app", "install-mcp", "c"}, "claude-code cursor "},
  };
  for (const auto& [words, expected] : cases) EXPECT_EQ(offered(words), expected) << words.back();
  stopHost();
  EXPECT_EQ(offered({"lumetra", "start", "G"}), " ");  // no host: nothing, quickly
}

}  // namespace
}  // namespace lumetra
