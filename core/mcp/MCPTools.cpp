// The seven tools of the MCP server.
#include <algorithm>
#include <cmath>

#include "control/ControlResult.hpp"
#include "control/DateArgument.hpp"
#include "mcp/MCPServer.hpp"
#include "control/ResumeWindow.hpp"

namespace lumetra {

namespace {

using Code = MCPServer::RPCError::Code;

JSONValue schema(const char* type, const char* description, std::optional<std::int64_t> minimum = std::nullopt) {
  JSONValue::Object members{{"type", JSONValue(type)}, {"description", JSONValue(description)}};
  if (minimum) members.emplace("minimum", JSONValue(*minimum));
  return JSONValue(std::move(members));
}

ControlError badRequest(std::string message) { return ControlError(ControlError::Code::badRequest, std::move(message)); }

// Reads one call's arguments, naming the tool in every complaint.
class Arguments {
 public:
  Arguments(const std::string& tool, const JSONValue& arguments) : tool_(tool), arguments_(arguments) {}

  std::optional<JSONValue> value(const char* name) const {
    auto found = arguments_[name];
    if (found && found->isNull()) return std::nullopt;
    return found;
  }

  std::optional<std::string> string(const char* name) const {
    const auto found = value(name);
    if (!found) return std::nullopt;
    if (auto text = found->stringValue()) return text;
    throw badRequest(tool_ + " needs " + name + " to be text.");
  }

  std::optional<std::int64_t> integer(const char* name, std::int64_t minimum) const {
    const auto found = value(name);
    if (!found) return std::nullopt;
    std::optional<std::int64_t> whole;
    if (const auto* i = found->intValue()) whole = *i;
    // A whole double stands for its integer, within the range a double holds exactly.
    if (const auto* d = found->doubleValue(); d && std::trunc(*d) == *d && std::abs(*d) < 9e15) {
      whole = static_cast<std::int64_t>(*d);
    }
    if (!whole) throw badRequest(tool_ + " needs " + name + " to be a whole number.");
    if (*whole < minimum) {
      throw badRequest(tool_ + " needs " + name + " to be a whole number of at least " + std::to_string(minimum) + ".");
    }
    return whole;
  }

  std::optional<Instant> date(const char* name, Instant now, const Calendar& calendar, bool endOfDay) const {
    const auto text = string(name);
    if (!text) return std::nullopt;
    if (const auto date = DateArgument::parse(*text, now, calendar, endOfDay)) return date;
    throw badRequest(std::string(name) + ": “" + *text +
                     "” isn't a date. Use YYYY-MM-DD, today, yesterday, or an ISO 8601 time.");
  }

 private:
  const std::string& tool_;
  const JSONValue& arguments_;
};

template <class Result>
JSONValue sendAndReport(const ControlRequest& request, const Transport& transport, bool structured) {
  const Result result = ControlClient::send<Result>(request, transport);
  const JSONValue content = JSONValue::object({{"type", "text"}, {"text", WireCoding::prettyText(result)}});
  JSONValue::Object members{{"content", JSONValue(JSONValue::Array{content})}, {"isError", JSONValue(false)}};
  if (structured) members.emplace("structuredContent", JSONValue::from(result));
  return JSONValue(std::move(members));
}

JSONValue send(ControlCommand command, const ControlRequest& request, const Transport& transport, bool structured) {
  if (command == ControlCommand::importSessions) throw ControlError(ControlError::Code::failed, "No tool imports.");
  return withResultType(command, [&]<class Result>() { return sendAndReport<Result>(request, transport, structured); });
}

}  // namespace

const std::vector<MCPServer::Tool>& MCPServer::tools() {
  static const std::vector<Tool> table{
      {"get_status", "Get tracking status",
       "What Lumetra is tracking right now (current is null when nothing is), and today's time per project. When "
       "nothing is running, last_session is the session resume_session would resume (its project, description, end "
       "time and when it stops being resumable), or null if there is none.",
       ControlCommand::status, {}, {}, true, false},
      {"list_projects", "List projects",
       "Projects that sessions can be tracked against. Archived projects are left out unless include_archived is true.",
       ControlCommand::projects,
       {{"include_archived", schema("boolean", "Include archived projects.")}},
       {},
       true,
       false},
      {"start_session", "Start tracking",
       "Start tracking time on an existing project, stopping any other running session first. If that project is "
       "already running with the same description, nothing changes.",
       ControlCommand::start,
       {{"project", schema("string", "The project's name, as list_projects returns it.")},
        {"description", schema("string", "What's being worked on; a few words.")}},
       {"project"},
       false,
       true},
      {"stop_session", "Stop tracking", "Stop the running session. Fails if nothing is being tracked.",
       ControlCommand::stop, {}, {}, false, false},
      {"resume_session", "Resume the last session",
       "Start a new session on the project of the last tracked session, with its current description, to carry on "
       "after a break. Only a session that ended less than " +
           ResumeWindow::text() +
           " ago qualifies (get_status shows it as last_session when nothing is running). Fails with already_tracking "
           "while something is running (use start_session to switch) and nothing_to_resume when no session qualifies. "
           "The time away isn't counted.",
       ControlCommand::resume, {}, {}, false, false},
      {"set_description", "Describe a session",
       "Set the description of the running session, or of an earlier one by id. Empty text removes the description.",
       ControlCommand::describe,
       {{"description", schema("string", "The new description, or \"\" to remove it.")},
        {"session_id", schema("integer",
                              "The session to change, from get_status or list_sessions. The running session if left out.",
                              1)}},
       {"description"},
       false,
       true},
      {"list_sessions", "List sessions",
       "Sessions oldest first, with ids, times, durations and descriptions: the last 20 by default, or every one "
       "starting from since.",
       ControlCommand::sessions,
       {{"since", schema("string",
                         "Only sessions starting at or after this: YYYY-MM-DD, today, yesterday, or an ISO 8601 time.")},
        {"until", schema("string",
                         "Only sessions starting before this: YYYY-MM-DD, today, yesterday, or an ISO 8601 time. A "
                         "date includes that whole day.")},
        {"project", schema("string", "Only this project.")},
        {"limit", schema("integer", "At most this many, the most recent.", 1)}},
       {},
       true,
       false},
  };
  return table;
}

JSONValue MCPServer::Tool::json() const {
  JSONValue::Object inputSchema{{"type", JSONValue("object")},
                                {"properties", JSONValue(properties)},
                                {"additionalProperties", JSONValue(false)}};
  if (!required.empty()) {
    JSONValue::Array names;
    for (const auto& argument : required) names.emplace_back(argument);
    inputSchema.emplace("required", JSONValue(std::move(names)));
  }
  return JSONValue::object({{"name", name},
                            {"title", title},
                            {"description", description},
                            {"inputSchema", JSONValue(std::move(inputSchema))},
                            {"annotations", JSONValue::object({{"title", title},
                                                               {"readOnlyHint", readOnly},
                                                               {"destructiveHint", false},
                                                               {"idempotentHint", idempotent || readOnly},
                                                               {"openWorldHint", false}})}});
}

ControlRequest MCPServer::request(const Tool& tool, const JSONValue& arguments, Instant now, const Calendar& calendar) {
  const std::string& name = tool.name;
  std::vector<std::string> unknown;
  if (const auto* given = arguments.objectValue()) {
    for (const auto& [key, value] : *given) {
      if (!tool.properties.contains(key)) unknown.push_back(key);
    }
  }
  if (!unknown.empty()) {
    std::sort(unknown.begin(), unknown.end());
    std::string takes;
    for (const auto& [key, value] : tool.properties) takes += (takes.empty() ? "" : ", ") + key;
    throw badRequest(name + " doesn't take “" + unknown.front() + "”." +
                     (takes.empty() ? " It takes no arguments." : " It takes " + takes + "."));
  }
  const Arguments args(name, arguments);
  for (const auto& requiredName : tool.required) {
    if (!args.value(requiredName.c_str())) throw badRequest(name + " needs “" + requiredName + "”.");
  }

  ControlRequest request(tool.command);
  switch (tool.command) {
    case ControlCommand::projects:
      if (const auto all = args.value("include_archived")) {
        if (!all->boolValue()) throw badRequest(name + " needs include_archived to be true or false.");
        if (*all->boolValue()) request.includeArchived = true;
      }
      break;
    case ControlCommand::start:
      request.project = args.string("project");
      request.description = args.string("description");
      break;
    case ControlCommand::describe:
      request.description = args.string("description");
      request.sessionId = args.integer("session_id", 1);
      break;
    case ControlCommand::sessions:
      request.project = args.string("project");
      request.since = args.date("since", now, calendar, false);
      request.until = args.date("until", now, calendar, true);
      request.limit = args.integer("limit", 1);
      break;
    default:
      break;
  }
  return request;
}

JSONValue MCPServer::callTool(const JSONValue& params, const std::string& version) {
  const auto name = params["name"] ? params["name"]->stringValue() : std::nullopt;
  if (!name) throw RPCError(Code::invalidParams, "tools/call needs a tool name.");
  const auto& table = tools();
  const auto tool = std::find_if(table.begin(), table.end(), [&](const Tool& t) { return t.name == *name; });
  if (tool == table.end()) throw RPCError(Code::invalidParams, "Unknown tool: " + *name);
  JSONValue arguments = params["arguments"].value_or(JSONValue(JSONValue::Object{}));
  if (arguments.isNull()) arguments = JSONValue(JSONValue::Object{});
  if (!arguments.isObject()) throw RPCError(Code::invalidParams, "arguments must be an object.");

  // Structured content came with 2025-06-18; the versions are dates, so text order is time order.
  const bool structured = version >= "2025-06-18";
  const Instant now = now_();
  try {
    return send(tool->command, request(*tool, arguments, now, calendar_), transport_, structured);
  } catch (const std::exception& failure) {
    const auto* control = dynamic_cast<const ControlError*>(&failure);
    const ControlError error = control ? *control : ControlError(ControlError::Code::failed, describe(failure));
    const JSONValue content = JSONValue::object({{"type", "text"}, {"text", error.message}});
    JSONValue::Object members{{"content", JSONValue(JSONValue::Array{content})}, {"isError", JSONValue(true)}};
    if (structured) {
      members.emplace("structuredContent",
                      JSONValue::object({{"error", JSONValue::object({{"code", std::string(rawValue(error.code))},
                                                                      {"message", error.message}})}}));
    }
    return JSONValue(std::move(members));
  }
}

}  // namespace lumetra
