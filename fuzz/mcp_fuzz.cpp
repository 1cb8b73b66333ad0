// Lines an MCP client sends.
#include <cstddef>
#include <cstdint>
#include <string>

#include "mcp/MCPServer.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumetra;
  static MCPServer server("fuzz", Calendar("UTC"), [] { return Instant(1714557600); }, [](const std::string&) {
    return std::string(R"({"ok":true,"result":{"current":null,"date":"2024-05-01","last_session":null,"today":[],"today_seconds":0}})");
  });
  const auto reply = server.handle(std::string_view(reinterpret_cast<const char*>(data), size));
  // Whatever comes back is one line of JSON.
  if (reply && (reply->find('\n') != std::string::npos)) __builtin_trap();
  if (reply) (void)JSONValue::parse(*reply);
  return 0;
}
