#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/ControlClient.hpp"
#include "control/ControlCommand.hpp"
#include "control/ControlRequest.hpp"
#include "mcp/JSONValue.hpp"
#include "platform/Calendar.hpp"
#include "platform/Error.hpp"
#include "platform/Instant.hpp"

namespace lumetra {

// The Model Context Protocol server of `lumetra mcp`: JSON-RPC 2.0, one message per line on
// standard input and output, with seven tools that forward to the running host's control
// commands. Keeps no data of its own. Single-threaded.
class MCPServer {
 public:
  // The one argument that starts the server.
  static constexpr std::string_view command = "mcp";
  // Versions used per request through "_meta", without a handshake.
  static const std::vector<std::string>& modernVersions();
  // Versions agreed with initialize, newest first.
  static const std::vector<std::string>& legacyVersions();
  // The modern ones, then the legacy ones.
  static const std::vector<std::string>& supportedVersions();
  static const std::string& instructions();

  // A failure of the session layer, answered as a JSON-RPC error.
  class RPCError final : public Error {
   public:
    enum class Code { parseError, invalidRequest, methodNotFound, invalidParams, internalError, unsupportedProtocolVersion };

    RPCError(Code c, std::string m, std::optional<JSONValue> d = std::nullopt)
        : code(c), message(std::move(m)), data(std::move(d)) {}
    [[nodiscard]] std::string description() const override { return message; }
    [[nodiscard]] std::int64_t number() const;
    // {"code": number, "message": …} and "data" when there is some.
    [[nodiscard]] JSONValue json() const;
    bool operator==(const RPCError& other) const {
      return code == other.code && message == other.message && data == other.data;
    }

    Code code;
    std::string message;
    std::optional<JSONValue> data;
  };

  // One tool: the control command it sends and the schema of its arguments.
  struct Tool {
    std::string name;
    std::string title;
    std::string description;
    ControlCommand command;
    JSONValue::Object properties;
    std::vector<std::string> required;
    bool readOnly = false;
    bool idempotent = false;

    // {"name", "title", "description", "inputSchema", "annotations"} for tools/list.
    [[nodiscard]] JSONValue json() const;
  };
  // The seven tools, in the order tools/list gives them.
  static const std::vector<Tool>& tools();

  using Clock = std::function<Instant()>;
  using LineReader = std::function<std::optional<std::string>()>;
  using Writer = std::function<bool(const std::string&)>;  // false when the write failed

  MCPServer(std::string serverVersion, Calendar calendar, Clock now, Transport transport);

  // CFBundleShortVersionString of the bundle that holds the executable (links resolved, two
  // folders up: Contents), or "dev" when there is none.
  [[nodiscard]] static std::string bundleVersion(const std::filesystem::path& executable);

  // Reads lines until input ends or a write fails; never throws.
  void serve(const LineReader& readLine, const Writer& write);
  // One line in; the reply line, or nothing (for notifications).
  [[nodiscard]] std::optional<std::string> handle(std::string_view line);
  [[nodiscard]] std::optional<JSONValue> reply(const JSONValue& message);
  // Throws RPCError.
  [[nodiscard]] JSONValue call(const std::string& method, const JSONValue& params);
  [[nodiscard]] JSONValue initialize(const JSONValue& params);
  [[nodiscard]] static JSONValue errorReply(const JSONValue& id, const RPCError& error);

  // A tools/call under the protocol version in force. Throws RPCError for a malformed call;
  // every other failure is a result with "isError" true.
  [[nodiscard]] JSONValue callTool(const JSONValue& params, const std::string& version);
  // The control request for a tool's arguments. Throws ControlError (badRequest).
  [[nodiscard]] static ControlRequest request(const Tool& tool, const JSONValue& arguments, Instant now,
                                              const Calendar& calendar);

  [[nodiscard]] const std::optional<std::string>& negotiatedVersion() const { return negotiatedVersion_; }

 private:
  [[nodiscard]] JSONValue capabilities() const;
  [[nodiscard]] JSONValue serverInfo() const;
  [[nodiscard]] JSONValue dispatch(const std::string& method, const JSONValue& params, const std::string& version);

  std::string serverVersion_;
  Calendar calendar_;
  Clock now_;
  Transport transport_;
  std::optional<std::string> negotiatedVersion_;
};

}  // namespace lumetra
