#include "mcp/MCPServer.hpp"

#include <gtest/gtest.h>

#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

using test::localTime;

constexpr const char* kStatusReply =
    R"({"ok":true,"result":{"current":null,"date":"2024-05-01","last_session":null,"today":[],"today_seconds":0}})";

class MCPServerTest : public testing::Test {
 protected:
  MCPServer server{"1.2.3", Calendar(test::kTestTimeZone), [] { return localTime(2024, 5, 1, 12, 0); },
                   [this](const std::string& request) {
                     sent.push_back(request);
                     if (down) throw ControlError(ControlError::Code::notRunning, "Lumetra isn't running. Open it and try again.");
                     return reply;
                   }};
  std::vector<std::string> sent;
  std::string reply = kStatusReply;
  bool down = false;

  std::string handle(const std::string& line) { return server.handle(line).value_or("(nothing)"); }
  JSONValue answer(const std::string& line) { return JSONValue::parse(handle(line)); }
  JSONValue callTool(const std::string& name, const std::string& arguments, const std::string& version = "2025-11-25") {
    const auto params = JSONValue::parse(R"({"name":")" + name + R"(","arguments":)" + arguments + "}");
    return server.callTool(params, version);
  }
  std::string toolError(const std::string& name, const std::string& arguments) {
    const JSONValue result = callTool(name, arguments);
    if (result["isError"] != JSONValue(true)) return "(no error)";
    return *(*(*result["content"]->arrayValue())[0]["text"]).stringValue();
  }
};

TEST_F(MCPServerTest, SessionErrors) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"nope", R"({"error":{"code":-32700,"message":"Not valid JSON."},"id":null,"jsonrpc":"2.0"})"},
      {"[]", R"({"error":{"code":-32600,"message":"Empty batch."},"id":null,"jsonrpc":"2.0"})"},
      {"42", R"({"error":{"code":-32600,"message":"A message must be a JSON object."},"id":null,"jsonrpc":"2.0"})"},
      {R"({"jsonrpc":"1.0","id":3,"method":"ping"})",
       R"({"error":{"code":-32600,"message":"Expected a JSON-RPC 2.0 request with a method."},"id":3,"jsonrpc":"2.0"})"},
      {R"({"jsonrpc":"2.0","id":1.5,"method":"ping"})",
       R"({"error":{"code":-32600,"message":"The id must be a string or an integer."},"id":null,"jsonrpc":"2.0"})"},
      {R"({"jsonrpc":"2.0","id":"abc","method":"ping","params":null})",
       R"({"error":{"code":-32602,"message":"params must be an object."},"id":"abc","jsonrpc":"2.0"})"},
      {R"({"jsonrpc":"2.0","id":7,"method":"tools/list"})",
       R"({"error":{"code":-32602,"message":"Send initialize first, or give the protocol version in _meta as io.modelcontextprotocol/protocolVersion."},"id":7,"jsonrpc":"2.0"})"},
      {R"({"jsonrpc":"2.0","id":7,"method":"initialize","params":{}})",
       R"({"error":{"code":-32602,"message":"initialize needs a protocolVersion."},"id":7,"jsonrpc":"2.0"})"},
      {R"({"jsonrpc":"2.0","id":8,"method":"x","params":{"_meta":{"io.modelcontextprotocol/protocolVersion":"2026-07-28"}}})",
       R"({"error":{"code":-32602,"message":"_meta must include io.modelcontextprotocol/clientCapabilities."},"id":8,"jsonrpc":"2.0"})"},
      {R"({"jsonrpc":"2.0","id":9,"method":"x","params":{"_meta":{"io.modelcontextprotocol/protocolVersion":5}}})",
       R"({"error":{"code":-32022,"data":{"requested":5,"supported":["2026-07-28","2025-11-25","2025-06-18","2025-03-26","2024-11-05"]},"message":"Unsupported protocol version"},"id":9,"jsonrpc":"2.0"})"},
      {R"({"jsonrpc":"2.0","method":"nothing"})", "(nothing)"},
      {R"({"jsonrpc":"2.0","id":1,"method":"ping"})", R"({"id":1,"jsonrpc":"2.0","result":{}})"},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(handle(line), expected) << line;
}

TEST_F(MCPServerTest, Batches) {
  EXPECT_EQ(handle(R"([{"jsonrpc":"2.0","id":1,"method":"ping"},{"jsonrpc":"2.0","method":"n"},{"jsonrpc":"2.0","id":"b","method":"ping"}])"),
            R"([{"id":1,"jsonrpc":"2.0","result":{}},{"id":"b","jsonrpc":"2.0","result":{}}])");
  EXPECT_EQ(handle(R"([{"jsonrpc":"2.0","method":"n"}])"), "(nothing)");
}

TEST_F(MCPServerTest, VersionRules) {
  const auto agreed = [&](const std::string& version) {
    return answer(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":")" + version + "\"}}")
        ["result"]->operator[]("protocolVersion")->stringValue();
  };
  EXPECT_EQ(agreed("2025-06-18"), "2025-06-18");
  EXPECT_EQ(agreed("2026-07-28"), "2025-11-25");
  EXPECT_EQ(agreed("1999-01-01"), "2025-11-25");
  EXPECT_EQ(server.negotiatedVersion(), "2025-11-25");
  EXPECT_EQ(handle(R"({"jsonrpc":"2.0","id":2,"method":"server/discover"})"),
            R"({"error":{"code":-32601,"message":"Method not found: server/discover"},"id":2,"jsonrpc":"2.0"})");

  const JSONValue modern = answer(
      R"({"jsonrpc":"2.0","id":3,"method":"server/discover","params":{"_meta":{"io.modelcontextprotocol/protocolVersion":"2026-07-28","io.modelcontextprotocol/clientCapabilities":{}}}})");
  const JSONValue result = *modern["result"];
  EXPECT_EQ(result["resultType"], JSONValue("complete"));
  EXPECT_EQ(result["_meta"]->encoded(),
            R"({"io.modelcontextprotocol/serverInfo":{"name":"lumetra","title":"Lumetra","version":"1.2.3"}})");
  EXPECT_EQ(result["supportedVersions"]->arrayValue()->size(), 5u);
  EXPECT_EQ(result["instructions"]->stringValue(), MCPServer::instructions());

  // A legacy version per request needs no handshake and gets a plain result.
  MCPServer fresh("dev", Calendar(test::kTestTimeZone), [] { return Instant(0); }, [](const std::string&) { return std::string(); });
  EXPECT_EQ(fresh.handle(R"({"jsonrpc":"2.0","id":4,"method":"tools/list","params":{"_meta":{"io.modelcontextprotocol/protocolVersion":"2024-11-05"}}})")
                ->find("\"resultType\""),
            std::string::npos);
  EXPECT_EQ(*fresh.handle(R"({"jsonrpc":"2.0","id":5,"method":"x","params":{"_meta":{"io.modelcontextprotocol/protocolVersion":"2099-01-01"}}})"),
            R"({"error":{"code":-32022,"data":{"requested":"2099-01-01","supported":["2026-07-28","2025-11-25","2025-06-18","2025-03-26","2024-11-05"]},"message":"Unsupported protocol version"},"id":5,"jsonrpc":"2.0"})");
}

// Per version, which members each result carries: cache hints only where 2026-07-28 asks for them.
TEST_F(MCPServerTest, ResultMembersPerVersion) {
  const auto members = [&](const std::string& method, const std::string& version) {
    const JSONValue replied = answer(R"({"jsonrpc":"2.0","id":1,"method":")" + method +
                                     R"(","params":{"_meta":{"io.modelcontextprotocol/protocolVersion":")" + version +
                                     R"(","io.modelcontextprotocol/clientCapabilities":{}}}})");
    std::string keys;
    if (const auto result = replied["result"]) {
      for (const auto& [key, value] : *result->objectValue()) {
        keys += key + (key == "ttlMs" || key == "cacheScope" ? "=" + value.encoded() : "") + " ";
      }
    } else {
      keys = (*replied["error"])["message"]->stringValue().value_or("");
    }
    return keys;
  };
  for (const auto& version : MCPServer::supportedVersions()) {
    if (version == "2026-07-28") {
      EXPECT_EQ(members("tools/list", version), "_meta cacheScope=\"public\" resultType tools ttlMs=86400000 ");
      EXPECT_EQ(members("server/discover", version),
                "_meta cacheScope=\"public\" capabilities instructions resultType supportedVersions ttlMs=86400000 ");
      EXPECT_EQ(members("ping", version), "_meta resultType ");
    } else {
      EXPECT_EQ(members("tools/list", version), "tools ") << version;
      EXPECT_EQ(members("server/discover", version), "Method not found: server/discover") << version;
      EXPECT_EQ(members("ping", version), "") << version;
    }
  }
}

TEST_F(MCPServerTest, ArgumentMessages) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases{
      {"get_status", R"({"x":1})", "get_status doesn't take “x”. It takes no arguments."},
      {"start_session", R"({"colour":1,"zone":2})", "start_session doesn't take “colour”. It takes description, project."},
      {"start_session", "{}", "start_session needs “project”."},
      {"start_session", R"({"project":null})", "start_session needs “project”."},
      {"start_session", R"({"project":5})", "start_session needs project to be text."},
      {"set_description", R"({"description":"x","session_id":0})",
       "set_description needs session_id to be a whole number of at least 1."},
      {"set_description", R"({"description":"x","session_id":2.5})", "set_description needs session_id to be a whole number."},
      {"set_description", R"({"description":"x","session_id":"2"})", "set_description needs session_id to be a whole number."},
      {"list_projects", R"({"include_archived":"yes"})", "list_projects needs include_archived to be true or false."},
      {"list_sessions", R"({"since":"soon"})", "since: “soon” isn't a date. Use YYYY-MM-DD, today, yesterday, or an ISO 8601 time."},
      {"list_sessions", R"({"until":3})", "list_sessions needs until to be text."},
  };
  for (const auto& [tool, arguments, message] : cases) EXPECT_EQ(toolError(tool, arguments), message) << arguments;
  EXPECT_TRUE(sent.empty());
}

TEST_F(MCPServerTest, RequestsSent) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases{
      {"set_description", R"({"description":"x","session_id":2.0})",
       R"({"command":"describe","description":"x","session_id":2,"version":1})"},
      {"list_projects", R"({"include_archived":false})", R"({"command":"projects","version":1})"},
      {"list_sessions", R"({"until":"2024-05-01","limit":3})",
       R"({"command":"sessions","limit":3,"until":"2024-05-02T00:00:00+02:00","version":1})"},
      {"start_session", R"({"project":"Garden","description":""})",
       R"({"command":"start","description":"","project":"Garden","version":1})"},
  };
  for (const auto& [tool, arguments, request] : cases) {
    sent.clear();
    (void)callTool(tool, arguments);
    ASSERT_EQ(sent.size(), 1u) << arguments;
    EXPECT_EQ(sent.front(), request);
  }
}

TEST_F(MCPServerTest, ResultsPlainOrStructured) {
  JSONValue plain = callTool("get_status", "{}", "2025-03-26");
  EXPECT_EQ(plain["structuredContent"], std::nullopt);
  EXPECT_EQ(plain["isError"], JSONValue(false));
  JSONValue structured = callTool("get_status", "{}", "2025-06-18");
  EXPECT_EQ(structured["structuredContent"]->encoded(),
            R"({"current":null,"date":"2024-05-01","last_session":null,"today":[],"today_seconds":0})");
  EXPECT_EQ(*(*structured["content"]->arrayValue())[0]["text"]->stringValue(),
            "{\n  \"current\" : null,\n  \"date\" : \"2024-05-01\",\n  \"last_session\" : null,\n  \"today\" : [],\n"
            "  \"today_seconds\" : 0\n}");
  down = true;
  structured = callTool("stop_session", "{}", "2025-06-18");
  EXPECT_EQ(structured.encoded(),
            R"({"content":[{"text":"Lumetra isn't running. Open it and try again.","type":"text"}],"isError":true,)"
            R"("structuredContent":{"error":{"code":"not_running","message":"Lumetra isn't running. Open it and try again."}}})");
}

TEST_F(MCPServerTest, MalformedToolCalls) {
  (void)handle(R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-11-25"}})");
  const std::vector<std::pair<std::string, std::string>> cases{
      {R"({})", "tools/call needs a tool name."},
      {R"({"name":"delete_session"})", "Unknown tool: delete_session"},
      {R"({"name":"get_status","arguments":[]})", "arguments must be an object."},
  };
  for (const auto& [params, message] : cases) {
    const JSONValue response = answer(R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":)" + params + "}");
    EXPECT_EQ(response["error"]->encoded(), R"({"code":-32602,"message":")" + message + "\"}") << params;
  }
  EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":3,"method":"tools/call","params":{"name":"get_status","arguments":null}})")
                ["result"]->operator[]("isError"),
            JSONValue(false));
}

TEST_F(MCPServerTest, ServeSkipsBlankLinesAndStopsWhenWritesFail) {
  std::vector<std::string> lines{"", "  \t", R"({"jsonrpc":"2.0","id":1,"method":"ping"})", R"({"jsonrpc":"2.0","id":2,"method":"ping"})"};
  std::size_t next = 0;
  std::vector<std::string> written;
  server.serve([&]() -> std::optional<std::string> { return next < lines.size() ? std::optional(lines[next++]) : std::nullopt; },
               [&](const std::string& bytes) {
                 written.push_back(bytes);
                 return false;  // the reader has gone
               });
  EXPECT_EQ(written, std::vector<std::string>{"{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{}}\n"});
  EXPECT_EQ(next, 3u);
}

}  // namespace
}  // namespace lumetra
