// `lumetra-app install-tool`, `install-claude` and `install-mcp` with HOME in a temporary folder; the tool they
// register then serves MCP. As root, run as nobody, so that /usr/local/bin stays untouched.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "mcp/JSONValue.hpp"
#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;

// Runs a program with only the given environment, as nobody when this process is root.
test::ProcessResult runUnprivileged(const std::string& program, const std::vector<std::string>& arguments,
                                    const std::vector<std::string>& environment, const std::string& input = {}) {
  std::vector<std::string> words;
  if (::geteuid() == 0) words = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  words.push_back("/usr/bin/env");
  words.push_back("-i");
  words.insert(words.end(), environment.begin(), environment.end());
  words.push_back(program);
  words.insert(words.end(), arguments.begin(), arguments.end());
  return test::runProcess(words.front(), {words.begin() + 1, words.end()}, {}, input);
}

TEST(InstallProcessTest, LinkAndClaudeEntryStartTheMcpServer) {
  test::TemporaryDirectory folder;
  const fs::path home = folder / "home";
  fs::create_directories(home / ".config/Claude");
  fs::create_directories(home / ".cursor");
  for (const auto& path : {folder.path(), home, home / ".config", home / ".config/Claude", home / ".cursor"}) {
    fs::permissions(path, fs::perms::all);
  }
  const std::vector<std::string> environment{"HOME=" + home.string(), "PATH=/usr/bin:/bin", "DISPLAY="};

  if (const int status = runUnprivileged(LUMETRA_APP_PATH, {"help"}, environment).status;
      status == 126 || status == 127) {
    GTEST_SKIP() << "the build folder isn't reachable by an unprivileged user";
  }
  auto result = runUnprivileged(LUMETRA_APP_PATH, {"install-tool"}, environment);
  ASSERT_EQ(result.status, 0) << result.out;
  const fs::path link = home / ".local/bin/lumetra";
  EXPECT_EQ(result.out, "Linked " + link.string() + " to " + fs::canonical(LUMETRA_TOOL_PATH).string() + ".\n" +
                            "Linked " + link.string() + "-app to " + fs::canonical(LUMETRA_APP_PATH).string() + ".\n" +
                            (home / ".local/bin").string() +
                            " isn't on your PATH. Add it, for example with: export "
                            "PATH=\"" +
                            (home / ".local/bin").string() + ":$PATH\"\n");
  EXPECT_EQ(runUnprivileged(link.string(), {"help"}, environment).status, 0);

  result = runUnprivileged(LUMETRA_APP_PATH, {"install-claude"}, environment);
  ASSERT_EQ(result.status, 0) << result.out;
  std::ifstream file(home / ".config/Claude/claude_desktop_config.json");
  const JSONValue config = JSONValue::parse(std::string(std::istreambuf_iterator<char>(file), {}));
  const auto entry = *(*config["mcpServers"])["lumetra"];
  EXPECT_EQ(entry["args"]->encoded(), R"(["mcp"])");

  // What Claude would start: the entry's command with its arguments, speaking MCP.
  const std::string command = *entry["command"]->stringValue();
  result = runUnprivileged(command, {"mcp"}, environment,
                           R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18"}})"
                           "\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_NE(result.out.find(R"("protocolVersion":"2025-06-18")"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find(R"("version":"0.1.0")"), std::string::npos) << result.out;

  EXPECT_EQ(runUnprivileged(LUMETRA_APP_PATH, {"install-claude"}, environment).out,
            "Lumetra is already set up in the Claude desktop app (" +
                (home / ".config/Claude/claude_desktop_config.json").string() + ").\n");
  EXPECT_EQ(
      runUnprivileged(LUMETRA_APP_PATH, {"install-mcp", "cursor"}, environment).out,
      "Added Lumetra to Cursor's settings (" + (home / ".cursor/mcp.json").string() + "). Restart Cursor to use it.\n");

  // Through its own link, the host takes both links away again; someone else's file stays.
  EXPECT_EQ(runUnprivileged(link.string() + "-app", {"--version"}, environment).out, "lumetra-app 0.1.0\n");
  EXPECT_EQ(runUnprivileged(link.string() + "-app", {"uninstall-tool"}, environment).out,
            "Removed " + link.string() + ".\nRemoved " + link.string() + "-app.\n");
  test::writeFile(link, "mine");
  EXPECT_EQ(
      runUnprivileged(LUMETRA_APP_PATH, {"uninstall-tool"}, environment).out,
      "There are no links to this copy of Lumetra in /usr/local/bin or " + (home / ".local/bin").string() + ".\n");
  EXPECT_TRUE(fs::is_regular_file(link));
}

}  // namespace
}  // namespace lumetra
