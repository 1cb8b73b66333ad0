// `lumetra mcp` driven by an MCP client written independently: the official TypeScript SDK.
#include <gmock/gmock.h>

#include "e2e/HostFixture.hpp"
#include "mcp/JSONValue.hpp"

namespace lumetra {
namespace {

class McpClientTest : public test::HostFixture {
 protected:
  JSONValue runClient(const std::string& scenario, const std::string& mode = "v1") {
    const std::filesystem::path client = LUMETRA_MCP_CLIENT_DIR;
    EXPECT_TRUE(std::filesystem::exists(client / "node_modules/@modelcontextprotocol/client"))
        << "the client's packages are missing: scripts/test installs them with npm ci";
    const auto result = test::runProcess("/usr/bin/env", {"node", (client / "client.mjs").string(), LUMETRA_TOOL_PATH,
                                                          data().string(), scenario, mode});
    EXPECT_EQ(result.status, 0) << result.err;
    try {
      return JSONValue::parse(result.out);
    } catch (const std::exception&) {
      ADD_FAILURE() << "not JSON: " << result.out << result.err;
      return JSONValue();
    }
  }
  static std::string text(const JSONValue& call) { return call["text"].value_or(JSONValue("")).stringValue().value_or(""); }
};

// The 1.x SDK, then the 2.x one negotiating on its own and pinned to each version in turn.
TEST_F(McpClientTest, TracksThroughTheTools) {
  ASSERT_EQ(app({"project", "add", "Garden"}).status, 0);
  const std::vector<std::pair<std::string, std::string>> modes{
      {"v1", "2025-11-25"},         {"auto", "2026-07-28"},       {"2026-07-28", "2026-07-28"},
      {"2025-11-25", "2025-11-25"}, {"2025-06-18", "2025-06-18"}, {"2025-03-26", "2025-03-26"},
      {"2024-11-05", "2024-11-05"}};
  for (const auto& [mode, version] : modes) {
    SCOPED_TRACE(mode);
    const JSONValue seen = runClient("tracking", mode);
    EXPECT_EQ(seen["negotiated"], JSONValue(version));
    EXPECT_EQ(seen["server"]->encoded(), R"({"name":"lumetra","title":"Lumetra","version":"0.1.0"})");
    EXPECT_EQ(seen["tools"]->encoded(),
              R"(["get_status","list_projects","start_session","stop_session","resume_session","set_description","list_sessions"])");
    EXPECT_EQ(seen["start"]->operator[]("isError"), JSONValue(false));
    EXPECT_THAT(text(*seen["describe"]), testing::HasSubstr("\"description\" : \"Planning the beds\""));
    EXPECT_THAT(text(*seen["sessions"]), testing::HasSubstr("\"project\" : \"Garden\""));
    EXPECT_THAT(text(*seen["status"]), testing::HasSubstr("\"project\" : \"Garden\""));
    EXPECT_EQ((*seen["stop"])["isError"], JSONValue(false));
    EXPECT_EQ((*seen["unknown"])["isError"], JSONValue(true));
    EXPECT_EQ(text(*seen["unknown"]), "There's no project named “Nope”. Projects: Garden.");
    EXPECT_THAT(text(*seen["stop"]), testing::HasSubstr("\"description\" : \"Planning the beds\""));
    if (version >= "2025-06-18") {  // structured results began with that revision
      EXPECT_EQ((*seen["start"])["structured"]->operator[]("started"), JSONValue(true));
      EXPECT_EQ((*(*seen["sessions"])["structured"])["sessions"]->arrayValue()->size(), 1u);
    }
  }
}

TEST_F(McpClientTest, HostStoppedIsAToolError) {
  stopHost();
  const JSONValue seen = runClient("offline");
  EXPECT_EQ((*seen["status"])["isError"], JSONValue(true));
  EXPECT_EQ(text(*seen["status"]), "Lumetra isn't running. Start it with lumetra-app and try again.");
  EXPECT_EQ((*(*seen["status"])["structured"])["error"]->operator[]("code"), JSONValue("not_running"));
}

}  // namespace
}  // namespace lumetra

namespace lumetra {
namespace {

// Given garbage, a huge line, deep nesting and half a message on standard input, expect the
// right JSON-RPC error for each (or nothing), in order, and a server that keeps serving.
TEST(McpProcessTest, BadLinesGetErrorsAndServingGoesOn) {
  test::TemporaryDirectory folder;
  const std::string ping = R"({"jsonrpc":"2.0","id":9,"method":"ping"})";
  const std::string input = "garbage\n" + std::string(10 * 1024 * 1024, '[') + "\n" + std::string(300, '[') +
                            std::string(300, ']') + "\n" + R"({"jsonrpc":"2.0","method":"notify"})" + "\n" + ping +
                            "\n" + R"({"jsonrpc":"2.0","id":10,"meth)";
  const auto result = test::runProcess(LUMETRA_TOOL_PATH, {"mcp"}, {{"LUMETRA_DATA_DIR", folder.path().string()}}, input);
  EXPECT_EQ(result.status, 0);
  const std::string parseError = R"({"error":{"code":-32700,"message":"Not valid JSON."},"id":null,"jsonrpc":"2.0"})";
  EXPECT_EQ(result.out, parseError + "\n" + parseError + "\n" + parseError + "\n" +
                            R"({"id":9,"jsonrpc":"2.0","result":{}})" + "\n" + parseError + "\n");
}

}  // namespace
}  // namespace lumetra
