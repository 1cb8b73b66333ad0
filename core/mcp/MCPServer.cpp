#include "mcp/MCPServer.hpp"

#include <algorithm>

#include "platform/PlatformWording.hpp"
#include "platform/PropertyList.hpp"

namespace lumetra {

namespace {

using Code = MCPServer::RPCError::Code;

const char* const kVersionKey = "io.modelcontextprotocol/protocolVersion";
const char* const kCapabilitiesKey = "io.modelcontextprotocol/clientCapabilities";

bool contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

JSONValue versionsArray() {
  JSONValue::Array versions;
  for (const auto& version : MCPServer::supportedVersions()) versions.emplace_back(version);
  return JSONValue(std::move(versions));
}

}  // namespace

const std::vector<std::string>& MCPServer::modernVersions() {
  static const std::vector<std::string> versions{"2026-07-28"};
  return versions;
}

const std::vector<std::string>& MCPServer::legacyVersions() {
  static const std::vector<std::string> versions{"2025-11-25", "2025-06-18", "2025-03-26", "2024-11-05"};
  return versions;
}

const std::vector<std::string>& MCPServer::supportedVersions() {
  static const std::vector<std::string> versions = [] {
    auto all = modernVersions();
    all.insert(all.end(), legacyVersions().begin(), legacyVersions().end());
    return all;
  }();
  return versions;
}

const std::string& MCPServer::instructions() {
  static const std::string text = PlatformWording::worded(
      "Lumetra is a menu bar time tracker on this Mac. These tools start, stop, resume and describe its sessions and "
      "report tracked time. They can't delete anything or change a session's times. The Lumetra app must be running. "
      "Use project names exactly as list_projects returns them; projects can't be created here. Times are ISO 8601 in "
      "the user's time zone and durations are in seconds.");
  return text;
}

std::int64_t MCPServer::RPCError::number() const {
  switch (code) {
    case Code::parseError:
      return -32700;
    case Code::invalidRequest:
      return -32600;
    case Code::methodNotFound:
      return -32601;
    case Code::invalidParams:
      return -32602;
    case Code::internalError:
      return -32603;
    case Code::unsupportedProtocolVersion:
      return -32022;
  }
  return -32603;
}

JSONValue MCPServer::RPCError::json() const {
  JSONValue::Object members{{"code", JSONValue(number())}, {"message", JSONValue(message)}};
  if (data) members.emplace("data", *data);
  return JSONValue(std::move(members));
}

MCPServer::MCPServer(std::string serverVersion, Calendar calendar, Clock now, Transport transport)
    : serverVersion_(std::move(serverVersion)),
      calendar_(std::move(calendar)),
      now_(std::move(now)),
      transport_(std::move(transport)) {}

std::string MCPServer::bundleVersion(const std::filesystem::path& executable) {
  std::error_code error;
  const auto resolved = std::filesystem::canonical(executable, error);
  if (error) return "dev";
  const auto contents = resolved.parent_path().parent_path();
  return PropertyList::string(contents / "Info.plist", "CFBundleShortVersionString").value_or("dev");
}

JSONValue MCPServer::capabilities() const {
  return JSONValue::object({{"tools", JSONValue::object({{"listChanged", false}})}});
}

JSONValue MCPServer::serverInfo() const {
  return JSONValue::object({{"name", "lumetra"}, {"title", "Lumetra"}, {"version", serverVersion_}});
}

JSONValue MCPServer::errorReply(const JSONValue& id, const RPCError& error) {
  return JSONValue::object({{"jsonrpc", "2.0"}, {"id", id}, {"error", error.json()}});
}

void MCPServer::serve(const LineReader& readLine, const Writer& write) {
  while (auto line = readLine()) {
    if (line->find_first_not_of(" \t\r\n\v\f") == std::string::npos) continue;
    if (const auto answer = handle(*line)) {
      if (!write(*answer + "\n")) return;
    }
  }
}

std::optional<std::string> MCPServer::handle(std::string_view line) {
  JSONValue message;
  try {
    message = JSONValue::parse(line);
  } catch (const JSONValue::DecodingError&) {
    return errorReply(JSONValue(), RPCError(Code::parseError, "Not valid JSON.")).encoded();
  }
  if (const auto* batch = message.arrayValue()) {
    if (batch->empty()) return errorReply(JSONValue(), RPCError(Code::invalidRequest, "Empty batch.")).encoded();
    JSONValue::Array replies;
    for (const auto& element : *batch) {
      if (auto answer = reply(element)) replies.push_back(std::move(*answer));
    }
    if (replies.empty()) return std::nullopt;
    return JSONValue(std::move(replies)).encoded();
  }
  if (auto answer = reply(message)) return answer->encoded();
  return std::nullopt;
}

std::optional<JSONValue> MCPServer::reply(const JSONValue& message) {
  if (!message.isObject()) return errorReply(JSONValue(), RPCError(Code::invalidRequest, "A message must be a JSON object."));
  const auto id = message["id"];
  const bool usableId = id && (id->intValue() || id->stringValue());
  const auto method = message["method"];
  if (message["jsonrpc"] != JSONValue("2.0") || !method || !method->stringValue()) {
    return errorReply(usableId ? *id : JSONValue(),
                      RPCError(Code::invalidRequest, "Expected a JSON-RPC 2.0 request with a method."));
  }
  if (!id) return std::nullopt;  // a notification: nothing to answer
  if (!usableId) return errorReply(JSONValue(), RPCError(Code::invalidRequest, "The id must be a string or an integer."));
  const auto params = message["params"].value_or(JSONValue(JSONValue::Object{}));
  if (!params.isObject()) return errorReply(*id, RPCError(Code::invalidParams, "params must be an object."));
  try {
    return JSONValue::object({{"jsonrpc", "2.0"}, {"id", *id}, {"result", call(*method->stringValue(), params)}});
  } catch (const RPCError& error) {
    return errorReply(*id, error);
  } catch (const std::exception& error) {
    return errorReply(*id, RPCError(Code::internalError, describe(error)));
  }
}

JSONValue MCPServer::call(const std::string& method, const JSONValue& params) {
  const auto meta = params["_meta"];
  const auto requested = meta ? (*meta)[kVersionKey] : std::nullopt;
  if (meta && meta->isObject() && requested) {
    const auto version = requested->stringValue();
    if (!version || !contains(supportedVersions(), *version)) {
      throw RPCError(Code::unsupportedProtocolVersion, "Unsupported protocol version",
                     JSONValue::object({{"supported", versionsArray()}, {"requested", *requested}}));
    }
    if (contains(legacyVersions(), *version)) return dispatch(method, params, *version);
    const auto clientCapabilities = (*meta)[kCapabilitiesKey];
    if (!clientCapabilities || !clientCapabilities->isObject()) {
      throw RPCError(Code::invalidParams, "_meta must include io.modelcontextprotocol/clientCapabilities.");
    }
    JSONValue result = method == "server/discover"
                           ? JSONValue::object({{"supportedVersions", versionsArray()},
                                                {"capabilities", capabilities()},
                                                {"instructions", instructions()}})
                           : dispatch(method, params, *version);
    // Modern replies say they are complete and who answered.
    JSONValue::Object members = *result.objectValue();
    members.insert_or_assign("resultType", JSONValue("complete"));
    members.insert_or_assign("_meta", JSONValue::object({{"io.modelcontextprotocol/serverInfo", serverInfo()}}));
    // Revision 2026-07-28 requires cache hints on its cacheable results (tools/list and
    // server/discover here; the other cacheable kinds are never sent). Both answers are fixed for
    // the life of the process and the same for every caller; a day is the longest a client keeps one.
    if (method == "tools/list" || method == "server/discover") {
      members.insert_or_assign("ttlMs", JSONValue(std::int64_t{86'400'000}));
      members.insert_or_assign("cacheScope", JSONValue("public"));
    }
    return JSONValue(std::move(members));
  }
  if (method == "initialize") return initialize(params);
  if (method == "ping") return JSONValue(JSONValue::Object{});
  if (!negotiatedVersion_) {
    throw RPCError(Code::invalidParams,
                   "Send initialize first, or give the protocol version in _meta as "
                   "io.modelcontextprotocol/protocolVersion.");
  }
  return dispatch(method, params, *negotiatedVersion_);
}

JSONValue MCPServer::dispatch(const std::string& method, const JSONValue& params, const std::string& version) {
  if (method == "ping") return JSONValue(JSONValue::Object{});
  if (method == "tools/list") {
    JSONValue::Array list;
    for (const auto& tool : tools()) list.push_back(tool.json());
    return JSONValue::object({{"tools", JSONValue(std::move(list))}});
  }
  if (method == "tools/call") return callTool(params, version);
  throw RPCError(Code::methodNotFound, "Method not found: " + method);
}

JSONValue MCPServer::initialize(const JSONValue& params) {
  const auto requested = params["protocolVersion"];
  if (!requested || !requested->stringValue()) throw RPCError(Code::invalidParams, "initialize needs a protocolVersion.");
  const std::string agreed =
      contains(legacyVersions(), *requested->stringValue()) ? *requested->stringValue() : legacyVersions().front();
  negotiatedVersion_ = agreed;
  return JSONValue::object({{"protocolVersion", agreed},
                            {"capabilities", capabilities()},
                            {"serverInfo", serverInfo()},
                            {"instructions", instructions()}});
}

}  // namespace lumetra
