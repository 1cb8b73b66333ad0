#include "cli/Commands.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <type_traits>
#include <vector>

#include "cli/Sentences.hpp"
#include "control/ControlResult.hpp"
#include "control/ResumeWindow.hpp"
#include "platform/DateFormat.hpp"
#include "platform/Error.hpp"
#include "platform/FileSystem.hpp"
#include "platform/Numbers.hpp"
#include "platform/SystemError.hpp"
#include "platform/UnicodeText.hpp"
#include "store/Store.hpp"

namespace lumetra::Commands {

namespace {

using CommandLineTool::Formatter;
using CommandLineTool::UsageError;
using Numbers::wholeNumber;

constexpr unsigned char kTool = static_cast<unsigned char>(Program::tool);
constexpr unsigned char kApp = static_cast<unsigned char>(Program::app);

// Every form of TIME there is, for a refusal and the help.
constexpr std::string_view kTimeHint =
    "Use HH:MM or HH:MM:SS (today), yesterday HH:MM, YYYY-MM-DD HH:MM[:SS], an ISO 8601 time, or 10m ago, 1h30m ago, "
    "90 minutes ago.";

// Stands for the resume window's text in a help line.
constexpr std::string_view kResumeWindow = "{resume window}";

// Every option of either program: its spellings, and whether it takes a value.
constexpr Arguments::Option kOptions[] = {
    {"--description", "--description", true}, {"-d", "--description", true}, {"--since", "--since", true},
    {"--until", "--until", true},             {"--project", "--project", true}, {"-p", "--project", true},
    {"--limit", "--limit", true},             {"-n", "--limit", true},          {"--start", "--start", true},
    {"--end", "--end", true},                 {"--first", "--first", true},     {"--second", "--second", true},
    {"--output", "--output", true},           {"-o", "--output", true},         {"--by", "--by", true},
    {"--json", "--json", false},              {"--all", "--all", false},        {"--help", "--help", false},
    {"-h", "--help", false},                  {"--dry-run", "--dry-run", false}, {"--allow-overlaps", "--allow-overlaps", false},
    {"--skip-bad", "--skip-bad", false},      {"--name", "--name", true},             {"--at", "--at", true},
    {"--yes", "--yes", false},                {"--project-tags", "--project-tags", true},
    {"--untagged", "--untagged", true},
};

// Words people give

std::int64_t sessionId(const std::string& word) {
  const auto id = wholeNumber(word);
  if (!id || *id <= 0) {
    throw UsageError(curlyQuoted(word) + " isn't a session id. Ids are shown by “lumetra sessions”.");
  }
  return *id;
}

// A time as people type it, in the user's calendar: "HH:MM" or "HH:MM:SS" today, "yesterday
// HH:MM[:SS]", "YYYY-MM-DD HH:MM[:SS]", an ISO 8601 time (local without an offset), or a while
// ago: "10m ago", "1h30m ago", "90 minutes ago", "2 hours ago".
Instant time(const std::string& word, const Context& context) {
  if (auto instant = ControlProtocol::parseTimestamp(word)) return *instant;
  const std::string refused = curlyQuoted(word) + " isn't a time. " + std::string(kTimeHint);
  std::string text = Store::trimmed(word);
  // A while ago: "10m", "1h30m", "2h", "90 minutes", "2 hours".
  if (text.size() > 4 && text.ends_with(" ago")) {
    std::string_view amount(text);
    amount.remove_suffix(4);
    double seconds = 0;
    bool any = false;
    while (!amount.empty()) {
      long number = 0;
      const auto [end, error] = std::from_chars(amount.data(), amount.data() + amount.size(), number);
      if (error != std::errc() || end == amount.data() || number < 0 || number > 1'000'000) throw UsageError(refused);
      amount.remove_prefix(static_cast<std::size_t>(end - amount.data()));
      if (amount.starts_with(' ')) amount.remove_prefix(1);
      const auto unit = amount.substr(0, amount.find_first_of("0123456789"));
      if (unit == "h" || unit == "hour" || unit == "hours") seconds += 3600.0 * static_cast<double>(number);
      else if (unit == "m" || unit == "minute" || unit == "minutes") seconds += 60.0 * static_cast<double>(number);
      else throw UsageError(refused);
      amount.remove_prefix(unit.size());
      any = true;
    }
    if (!any) throw UsageError(refused);
    return context.now - seconds;
  }
  const std::string today = DateFormat("yyyy-MM-dd", context.calendar).format(context.now);
  if (text.starts_with("yesterday ")) {
    text = DateFormat("yyyy-MM-dd", context.calendar).format(context.calendar.addingDays(context.now, -1)) + text.substr(9);
  } else if (text.size() <= 8) {
    text = today + " " + text;
  }
  for (const char* pattern : {"yyyy-MM-dd HH:mm", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd'T'HH:mm", "yyyy-MM-dd'T'HH:mm:ss"}) {
    if (auto instant = DateFormat(pattern, context.calendar).parse(text)) return *instant;
  }
  // A wall-clock time the clocks jump over reads like a time, so it gets its reason.
  Calendar::DateParts parts;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%*[ T]%2d:%2d", &parts.year, &parts.month, &parts.day, &parts.hour,
                  &parts.minute) == 5 &&
      parts.hour < 24 && parts.minute < 60 && context.calendar.startOfDay(parts.year, parts.month, parts.day) &&
      !context.calendar.instant(parts)) {
    throw UsageError(curlyQuoted(word) + " never happens here: the clocks skip that hour when they go forward. Use "
                                         "a time before or after it.");
  }
  throw UsageError(refused);
}

std::optional<Instant> time(const std::optional<std::string>& word, const Context& context) {
  if (!word) return std::nullopt;
  return time(*word, context);
}

double minutes(const std::string& word) {
  double value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size() || !(value > 0) || value > 1e6) {
    throw UsageError(curlyQuoted(word) + " isn't a number of minutes above 0, or off.");
  }
  return value;
}

// The positional words after the command's own.
std::span<const std::string> rest(const Arguments& arguments, const Row& row) {
  const auto words = static_cast<std::size_t>(std::count(row.words.begin(), row.words.end(), ' ') + 1);
  return std::span(arguments.positionals()).subspan(words);
}

std::optional<std::string> word(std::span<const std::string> words, std::size_t index) {
  return index < words.size() ? std::optional(words[index]) : std::nullopt;
}

// The tool's commands

ControlRequest plain(ControlCommand command) { return ControlRequest(command); }

template <ControlCommand command>
ControlRequest bare(const Arguments&, const Context&) {
  return plain(command);
}

ControlRequest projectsRequest(const Arguments& arguments, const Context&) {
  ControlRequest request = plain(ControlCommand::projects);
  if (arguments.has("--all")) request.includeArchived = true;
  return request;
}

ControlRequest startRequest(const Arguments& arguments, const Context&) {
  ControlRequest request = plain(ControlCommand::start);
  request.project = arguments.positionals()[1];
  request.description = arguments.value("--description");
  return request;
}

ControlRequest describeRequest(const Arguments& arguments, const Context&) {
  ControlRequest request = plain(ControlCommand::describe);
  const auto words = std::span(arguments.positionals()).subspan(1);
  if (words.size() == 1) {
    const std::string& text = words[0];
    // The command word is the first positional, so the text is the second: a "--" before it
    // leaves at most one positional word ahead of the "--".
    const auto before = arguments.positionalsBeforeDashDash();
    if (!text.empty() && wholeNumber(text) && !(before && *before <= 1)) {
      throw UsageError("describe " + text + " needs the text too. To set the text " + curlyQuoted(text) +
                       ", use “lumetra describe -- " + text + "”.");
    }
    request.description = text;
    return request;
  }
  request.sessionId = sessionId(words[0]);
  request.description = words[1];
  return request;
}

ControlRequest sessionsRequest(const Arguments& arguments, const Context& context) {
  ControlRequest request = plain(ControlCommand::sessions);
  request.project = arguments.value("--project");
  if (auto since = arguments.value("--since")) request.since = CommandLineTool::parseDate(*since, context.now, context.calendar, false);
  if (auto until = arguments.value("--until")) request.until = CommandLineTool::parseDate(*until, context.now, context.calendar, true);
  if (auto limit = arguments.value("--limit")) {
    const auto number = wholeNumber(*limit);
    if (!number || *number <= 0) throw UsageError("--limit needs a whole number above 0.");
    request.limit = *number;
  }
  return request;
}

ControlRequest importRequest(const Arguments& arguments, const Context&) {
  ControlRequest request = plain(ControlCommand::importSessions);
  if (arguments.has("--dry-run")) request.dryRun = true;
  if (arguments.has("--allow-overlaps")) request.allowOverlaps = true;
  return request;
}

// The host's actions, built from the words

template <class Request>
Request byName(const Arguments& arguments, const Context&) {
  return Request{arguments.positionals()[2]};
}

template <class Request>
Request byId(const Arguments& arguments, const Context&) {
  return Request{sessionId(arguments.positionals()[2])};
}

ProjectList projectList(const Arguments& arguments, const Context&) { return {arguments.has("--all")}; }

ProjectRename projectRename(const Arguments& arguments, const Context&) {
  return {arguments.positionals()[2], arguments.positionals()[3]};
}

SessionAdd sessionAdd(const Arguments& arguments, const Context& context) {
  const auto& words = arguments.positionals();
  return {words[2], time(words[3], context), time(words[4], context), arguments.value("--description")};
}

SessionEdit sessionEdit(const Arguments& arguments, const Context& context) {
  const auto project = arguments.value("--project");
  const auto start = arguments.value("--start"), end = arguments.value("--end");
  if (!project && !start && !end) throw UsageError("session edit needs --project, --start or --end.");
  return {sessionId(arguments.positionals()[2]), project, time(start, context), time(end, context)};
}

SessionSplit sessionSplit(const Arguments& arguments, const Context& context) {
  const auto& words = arguments.positionals();
  return {sessionId(words[2]), time(words[3], context), arguments.value("--first"), arguments.value("--second")};
}

SessionMerge sessionMerge(const Arguments& arguments, const Context&) {
  const auto& words = arguments.positionals();
  return {sessionId(words[2]), sessionId(words[3]), arguments.value("--description")};
}

IdleTimeoutSetting idleTimeout(const Arguments& arguments, const Context&) {
  const auto given = word(arguments.positionals(), 1);
  if (given == "off") return {std::nullopt, true};
  return {given ? std::optional(minutes(*given) * 60) : std::nullopt, std::nullopt};
}

WebPortRequest webPort(const Arguments& arguments, const Context&) { return {word(arguments.positionals(), 1)}; }

WindowRequest window(const Arguments&, const Context&) { return {}; }

StartAt startAt(const Arguments& arguments, const Context& context) {
  return {arguments.positionals()[1], arguments.value("--description"), time(arguments.value("--at"), context)};
}

StopAt stopAt(const Arguments& arguments, const Context& context) { return {time(arguments.value("--at"), context)}; }

// The host reads the file, from its own working folder: the path goes absolute.
ImportFileRequest importFile(const Arguments& arguments, const Context&) {
  const std::string& file = arguments.positionals()[1];
  if (file == "-") throw UsageError("lumetra-app import reads a file. For standard input, use “lumetra import -”.");
  std::error_code error;
  const auto absolute = std::filesystem::absolute(file, error);
  return {error ? file : absolute.string(), arguments.has("--dry-run"), arguments.has("--allow-overlaps")};
}

// A result told as the tool tells the same command's.
template <ControlCommand command, class Result>
Output likeTool(const Result& result, const Arguments& arguments, const Context& context) {
  int status = CommandLineTool::success;
  if constexpr (std::is_same_v<Result, ImportReport>) {
    if (!result.canImport()) status = CommandLineTool::failure;
  }
  if (arguments.has("--json")) return Output{status, CommandLineTool::encodeJSON(result) + "\n", ""};
  return Output{status, Formatter(context.now, context.calendar).told(command, ControlResult(result)) + "\n", ""};
}

// Days FROM..TO the wrong way round are bad usage, said before anything is sent.
std::optional<std::string> range(const Arguments& arguments) {
  auto given = word(arguments.positionals(), 1);
  if (!given) return given;
  const auto dots = given->find("..");
  if (dots != std::string::npos) {
    const std::string from = Store::trimmed(given->substr(0, dots)), to = Store::trimmed(given->substr(dots + 2));
    if (from.size() == 10 && to.size() == 10 && to < from) throw UsageError(curlyQuoted(*given) + ": FROM is after TO.");
  }
  return given;
}

ExportRequest exportRequest(const Arguments& arguments, const Context&) { return {range(arguments)}; }

ReportRequest reportRequest(const Arguments& arguments, const Context&) {
  const std::string by = arguments.value("--by").value_or("project");
  if (by != "project" && by != "day" && by != "week") {
    throw UsageError("--by takes project, day or week, not " + curlyQuoted(by) + ".");
  }
  auto projects = arguments.values("--project");
  return {range(arguments), by, projects.empty() ? std::nullopt : std::optional(std::move(projects))};
}

template <class Request>
Request nothing(const Arguments&, const Context&) {
  return {};
}

SyncEnable syncEnable(const Arguments& arguments, const Context&) {
  return {arguments.positionals()[2], arguments.value("--name"), arguments.has("--dry-run")};
}

SyncResolve syncResolve(const Arguments& arguments, const Context&) {
  const auto& words = arguments.positionals();
  const auto id = wholeNumber(words[2]);
  if (!id || *id <= 0) {
    throw UsageError(curlyQuoted(words[2]) + " isn't a conflict's number. “lumetra-app sync conflicts” lists them.");
  }
  return {*id, words[3], word(words, 4)};
}

SyncForget syncForget(const Arguments& arguments, const Context&) { return {arguments.positionals()[2]}; }

SyncOneTimer syncOneTimer(const Arguments& arguments, const Context&) {
  const auto given = word(arguments.positionals(), 2);
  if (given && *given != "on" && *given != "off") throw UsageError("sync one-timer takes on or off, not " + curlyQuoted(*given) + ".");
  return {given ? std::optional(*given == "on") : std::nullopt};
}

// What some actions do besides saying so

Output exported(const ExportFile& file, const Arguments& arguments, const Context&) {
  if (arguments.has("--json")) return Output{0, WireCoding::prettyText(file) + "\n", ""};
  const auto path = arguments.value("--output");
  if (!path) return Output{0, file.csv, ""};
  try {
    FileSystem::writeOutput(*path, file.csv);
  } catch (const std::filesystem::filesystem_error& error) {
    return failure(Program::app, ControlError(ControlError::Code::failed,
                                              "Couldn't write " + *path + ": " + SystemError::text(error.code().value()) + "."),
                   false);
  }
  return Output{0, "Exported to " + *path + ".\n", ""};
}

Output opened(const WindowAddress& address, const Arguments& arguments, const Context& context) {
  if (context.openWindow) context.openWindow();
  if (arguments.has("--json")) return Output{0, WireCoding::prettyText(address) + "\n", ""};
  return Output{0, "Lumetra's window: " + address.url + "\n", ""};
}

// A host action's typed calls

template <class Request>
using ResultOf = decltype(std::declval<HostAPI&>().perform(std::declval<const Request&>(), Instant()));

template <class Result, auto Tell>
constexpr bool kTellsText = std::is_invocable_r_v<std::string, decltype(Tell), const Result&, const Formatter&>;

template <auto Build>
std::string encodedRequest(const Arguments& arguments, const Context& context, std::string_view wire) {
  JSON request = WireCoding::toJSON(Build(arguments, context));
  request["action"] = wire;
  return WireCoding::compact(request);
}

template <class Request, auto Tell>
Output told(const std::string& reply, const Arguments& arguments, const Context& context) {
  const auto result = ControlClient::result<ResultOf<Request>>(reply);
  if constexpr (!kTellsText<ResultOf<Request>, Tell>) return Tell(result, arguments, context);
  if (arguments.has("--json")) return Output{0, WireCoding::prettyText(result) + "\n", ""};
  if constexpr (kTellsText<ResultOf<Request>, Tell>) {
    return Output{0, Tell(result, Formatter(context.now, context.calendar)) + "\n", ""};
  }
  return {};
}

template <class Request, auto Tell>
std::string served(HostAPI& host, const JSON& request, Instant now, const Formatter* formatter) {
  Request typed;
  try {
    typed = WireCoding::fromJSON<Request>(request);
  } catch (const WireError& error) {
    throw ControlError(ControlError::Code::badRequest, "The request isn't valid: " + error.description());
  }
  const auto result = host.perform(typed, now);
  JSON reply = JSON::object();
  reply["ok"] = true;
  reply["result"] = WireCoding::toJSON(result);
  if (formatter) {
    if constexpr (kTellsText<ResultOf<Request>, Tell>) {
      reply["text"] = Tell(result, *formatter);
    } else {
      reply["text"] = "";
    }
  }
  return WireCoding::compact(reply);
}

// The calls of an action built from words; `Tell` says its result, or does what it does.
template <auto Build, auto Tell>
constexpr HostCalls kHost{
    &encodedRequest<Build>,
    &told<std::invoke_result_t<decltype(Build), const Arguments&, const Context&>, Tell>,
    &served<std::invoke_result_t<decltype(Build), const Arguments&, const Context&>, Tell>};

// The calls of an action only the window asks for.
template <class Request>
constexpr HostCalls kWindowOnly{nullptr, nullptr, &served<Request, nullptr>};

using namespace std::string_view_literals;
namespace S = Sentences;

// The rows, in the order the help lists them.
constexpr Row kRows[] = {
    // The tool's commands.
    {.words = "status", .programs = both, .wire = "status", .synopsis = "status",
     .summary = {"What's being tracked, today's totals, and when nothing is",
                 "running, the last session that resume would resume"},
     .manual = "What is being tracked, today's totals, and, when nothing is running, the last session that *resume* "
               "would resume.",
     .example = "status", .brief = "What is being tracked, and today's totals", .control = bare<ControlCommand::status>},
    {.words = "projects", .programs = kTool, .wire = "projects", .options = {"--all"}, .synopsis = "projects [--all]",
     .summary = {"Active projects (--all adds archived ones)"},
     .manual = "The active projects; *--all* adds the archived ones.", .example = "projects --all", .brief = "List the projects",
     .control = projectsRequest},
    {.words = "start", .programs = kTool, .wire = "start", .least = 1, .most = 1, .options = {"--description"},
     .needs = "a project name", .synopsis = "start PROJECT [-d TEXT]",
     .summary = {"Start tracking PROJECT, with an optional description.", "Switches from any other running session."},
     .manual = "Start tracking _PROJECT_, with an optional description (*-d* or *--description*). Switches from any "
               "other running session.",
     .example = "start Garden -d \"Planning the beds\"", .brief = "Start tracking a project", .completes = {"@project"}, .control = startRequest},
    {.words = "stop", .programs = kTool, .wire = "stop", .synopsis = "stop", .summary = {"Stop tracking"},
     .manual = "Stop tracking.", .example = "stop", .brief = "Stop tracking", .control = bare<ControlCommand::stop>},
    {.words = "start", .programs = kApp, .channel = Channel::host, .wire = "start", .least = 1, .most = 1,
     .options = {"--at", "--description"}, .needs = "a project name", .synopsis = "start PROJECT [--at TIME] [-d TEXT]",
     .summary = {"Start tracking PROJECT, from TIME if given, switching", "from any other running session"},
     .manual = "Start tracking _PROJECT_, with an optional description (*-d* or *--description*), switching from any "
               "other running session. *--at* _TIME_ backdates the start (and the switch): not before the last "
               "session ended, and not in the future.",
     .example = "start Garden --at \"10m ago\"", .brief = "Start tracking a project", .completes = {"@project"},
     .host = &kHost<startAt, likeTool<ControlCommand::start, StartResult>>},
    {.words = "stop", .programs = kApp, .channel = Channel::host, .wire = "stop", .options = {"--at"},
     .synopsis = "stop [--at TIME]", .summary = {"Stop tracking, at TIME if given"},
     .manual = "Stop tracking; *--at* _TIME_ ends the session then: not before it began, and not in the future.",
     .example = "stop --at 17:30", .brief = "Stop tracking", .host = &kHost<stopAt, likeTool<ControlCommand::stop, StopResult>>},
    {.words = "resume", .programs = both, .wire = "resume", .synopsis = "resume",
     .summary = {"Start a new session on the last tracked session's project",
                 "with its description, if it ended less than {resume window} ago.",
                 "Fails while something is running; use start to switch."},
     .manual = "Start a new session on the last tracked session's project, with its description, if it ended less "
               "than {resume window} ago. Fails while something is running; use *start* to switch.",
     .example = "resume", .brief = "Resume the last session", .control = bare<ControlCommand::resume>},
    {.words = "describe", .programs = both, .wire = "describe", .least = 1, .most = 2,
     .needs = "a description. Use \"\" to remove one", .synopsis = "describe [SESSION_ID] TEXT",
     .summary = {"Set the description of the running session, or of", "session SESSION_ID. An empty TEXT (\"\") removes it."},
     .manual = "Set the description of the running session, or of session _SESSION_ID_. An empty _TEXT_ (\"\") "
               "removes it.",
     .example = "describe 42 \"Reviewed the plan\"", .brief = "Set a session's description", .control = describeRequest},
    {.words = "sessions", .programs = both, .wire = "sessions", .options = {"--since", "--until", "--project", "--limit"},
     .synopsis = "sessions [--since DATE] [--until DATE] [--project NAME] [--limit N]",
     .summary = {"Sessions, oldest first: the last 20 by default, or", "all from DATE with --since. --until is inclusive.",
                 "DATE is YYYY-MM-DD, today, yesterday or an ISO 8601 time."},
     .manual = "Sessions, oldest first: the last 20 by default, or all from _DATE_ with *--since*. *--until* is "
               "inclusive. _DATE_ is YYYY-MM-DD, *today*, *yesterday* or an ISO 8601 time. *-p* is short for "
               "*--project* and *-n* for *--limit*.",
     .example = "sessions --since yesterday -p Garden", .brief = "List sessions", .control = sessionsRequest},
    {.words = "import", .programs = kTool, .wire = "import", .least = 1, .most = 1,
     .options = {"--dry-run", "--allow-overlaps"}, .needs = "a CSV file, or - to read standard input",
     .synopsis = "import FILE [--dry-run] [--allow-overlaps]",
     .summary = {"Import sessions from a CSV file (- reads standard input),",
                 "all or nothing. --dry-run shows what would be added.", "Rows that overlap recorded time are refused unless",
                 "--allow-overlaps is given."},
     .manual = "Import sessions from a CSV file (*-* reads standard input), all or nothing. *--dry-run* shows what "
               "would be added and saves nothing. Rows that overlap recorded time are refused unless "
               "*--allow-overlaps* is given. See *CSV FILES*.",
     .example = "import sessions.csv --dry-run", .brief = "Import sessions from a CSV file", .completes = {"@file"}, .control = importRequest, .readsFile = true},
    {.words = "import", .programs = kApp, .channel = Channel::host, .wire = "import-file", .least = 1, .most = 1,
     .options = {"--dry-run", "--allow-overlaps"}, .needs = "a CSV file", .synopsis = "import FILE [--dry-run] [--allow-overlaps]",
     .summary = {"Import sessions from a CSV file of any size, all or", "nothing; as lumetra import does, read by Lumetra itself"},
     .manual = "Import sessions from a CSV file of any size, all or nothing: as *lumetra import* does, but Lumetra "
               "reads the file itself, so there is no limit on its size. *--dry-run* shows what would be added and "
               "saves nothing; rows that overlap recorded time are refused unless *--allow-overlaps* is given.",
     .example = "import big-export.csv --dry-run", .brief = "Import sessions from a CSV file", .completes = {"@file"},
     .host = &kHost<importFile, likeTool<ControlCommand::importSessions, ImportReport>>},
    {.words = "mcp", .programs = kTool, .channel = Channel::entry, .synopsis = "mcp",
     .summary = {"Serve the same commands to an MCP client, such as the", "Claude desktop app, over stdin and stdout"},
     .manual = "Serve the same commands to an MCP client over standard input and output. See *MCP*.", .example = "mcp", .brief = "Serve MCP over standard input and output"},

    // lumetra-app's commands.
    {.words = "projects", .programs = kApp, .section = Section::projects, .channel = Channel::host, .wire = "projects",
     .options = {"--all"}, .synopsis = "projects [--all]", .summary = {"Active projects (--all adds archived ones)"},
     .manual = "The active projects; *--all* adds the archived ones.", .example = "projects", .brief = "List the projects",
     .host = &kHost<projectList, S::projects>},
    {.words = "project add", .programs = kApp, .section = Section::projects, .channel = Channel::host,
     .wire = "project-add", .least = 1, .most = 1, .needs = "a project name", .synopsis = "project add NAME",
     .summary = {"Create a project"}, .manual = "Create a project.", .example = "project add Garden", .brief = "Create a project",
     .host = &kHost<byName<ProjectAdd>, S::projectAdded>},
    {.words = "project rename", .programs = kApp, .section = Section::projects, .channel = Channel::host,
     .wire = "project-rename", .least = 2, .most = 2, .needs = "the project's name and its new name",
     .synopsis = "project rename NAME NEW_NAME", .summary = {"Rename a project"}, .manual = "Rename a project.",
     .example = "project rename Garden Orchard", .brief = "Rename a project", .completes = {"@project"}, .host = &kHost<projectRename, S::projectRenamed>},
    {.words = "project archive", .programs = kApp, .section = Section::projects, .channel = Channel::host,
     .wire = "project-archive", .least = 1, .most = 1, .needs = "a project name", .synopsis = "project archive NAME",
     .summary = {"Archive a project (its running session stops)"}, .manual = "Archive a project; its running session stops.",
     .example = "project archive Orchard", .brief = "Archive a project", .completes = {"@project"}, .host = &kHost<byName<ProjectArchive>, S::projectArchived>},
    {.words = "project unarchive", .programs = kApp, .section = Section::projects, .channel = Channel::host,
     .wire = "project-unarchive", .least = 1, .most = 1, .needs = "a project name", .synopsis = "project unarchive NAME",
     .summary = {"Make an archived project active again"}, .manual = "Make an archived project active again.",
     .example = "project unarchive Orchard", .brief = "Make an archived project active again", .completes = {"@project"}, .host = &kHost<byName<ProjectUnarchive>, S::projectUnarchived>},
    {.words = "project delete", .programs = kApp, .section = Section::projects, .channel = Channel::host,
     .wire = "project-delete", .least = 1, .most = 1, .options = {"--yes"}, .needs = "a project name",
     .synopsis = "project delete NAME [--yes]",
     .summary = {"Delete a project and all its sessions; asks first", "on a terminal unless --yes"},
     .manual = "Delete a project and all its sessions. On a terminal it asks first, saying how many sessions go; "
               "*--yes* deletes without asking, as a script needs to.",
     .example = "project delete Orchard", .brief = "Delete a project and its sessions", .completes = {"@project"},
     .asks = true, .host = &kHost<byName<ProjectDelete>, S::projectDeleted>},
    {.channel = Channel::host, .wire = "project-usage", .host = &kWindowOnly<ProjectUsage>},
    {.words = "session add", .programs = kApp, .section = Section::sessions, .channel = Channel::host,
     .wire = "session-add", .least = 3, .most = 3, .options = {"--description"},
     .needs = "a project, a start and an end", .synopsis = "session add PROJECT START END [-d TEXT]",
     .summary = {"Enter a finished session by hand"},
     .manual = "Enter a finished session by hand, with an optional description (*-d* or *--description*). Times that "
               "share time with another session are refused, with the session named.",
     .example = "session add Garden 09:00 10:30 -d Weeding", .brief = "Enter a session by hand", .completes = {"@project"}, .host = &kHost<sessionAdd, S::sessionAdded>},
    {.words = "session edit", .programs = kApp, .section = Section::sessions, .channel = Channel::host,
     .wire = "session-edit", .least = 1, .most = 1, .options = {"--project", "--start", "--end"}, .needs = "a session id",
     .synopsis = "session edit ID [-p PROJECT] [--start TIME] [--end TIME]",
     .summary = {"Change a session's project or times"},
     .manual = "Change a session's project or times (at least one of the options). The running session's start may "
               "move, but it has no end to change: stop it first. Times that share time with another session are "
               "refused.",
     .example = "session edit 42 --end 11:00", .brief = "Change a session's project or times", .host = &kHost<sessionEdit, S::sessionEdited>},
    {.words = "session split", .programs = kApp, .section = Section::sessions, .channel = Channel::host,
     .wire = "session-split", .least = 2, .most = 2, .options = {"--first", "--second"},
     .needs = "a session id and a time", .synopsis = "session split ID TIME [--first TEXT] [--second TEXT]",
     .summary = {"Split a session in two at TIME"},
     .manual = "Split a session in two at _TIME_, optionally describing each half.",
     .example = "session split 42 10:00 --second Lunch", .brief = "Split a session in two", .host = &kHost<sessionSplit, S::sessionSplit>},
    {.words = "session merge", .programs = kApp, .section = Section::sessions, .channel = Channel::host,
     .wire = "session-merge", .least = 2, .most = 2, .options = {"--description"}, .needs = "two session ids",
     .synopsis = "session merge ID OTHER_ID [-d TEXT]", .summary = {"Merge two neighbouring sessions of a project"},
     .manual = "Merge two neighbouring sessions of a project: the same kind of times, next to each other and at most "
               "5 minutes apart. Without *-d* the merged session joins their descriptions.",
     .example = "session merge 42 43", .brief = "Merge two neighbouring sessions", .host = &kHost<sessionMerge, S::sessionMerged>},
    {.words = "session delete", .programs = kApp, .section = Section::sessions, .channel = Channel::host,
     .wire = "session-delete", .least = 1, .most = 1, .options = {"--yes"}, .needs = "a session id",
     .synopsis = "session delete ID [--yes]",
     .summary = {"Delete a session; asks first on a terminal unless --yes"},
     .manual = "Delete a session. On a terminal it asks first; *--yes* deletes without asking.",
     .example = "session delete 42", .brief = "Delete a session", .asks = true, .host = &kHost<byId<SessionDelete>, S::sessionDeleted>},
    {.words = "session neighbours", .programs = kApp, .section = Section::sessions, .channel = Channel::host,
     .wire = "session-neighbours", .least = 1, .most = 1, .needs = "a session id", .synopsis = "session neighbours ID",
     .summary = {"Which neighbours a session can be merged with"},
     .manual = "Which neighbours a session can be merged with.", .example = "session neighbours 42", .brief = "Which neighbours a session can be merged with",
     .host = &kHost<byId<SessionNeighboursOf>, S::neighbours>},
    {.words = "idle-timeout", .programs = kApp, .section = Section::settings, .channel = Channel::host,
     .wire = "idle-timeout", .most = 1, .synopsis = "idle-timeout [MINUTES|off]",
     .summary = {"Show or set how long without input stops a session"},
     .manual = "Show, or set, how long without input stops a session; *off* lets sessions run on (sleep still ends "
               "them).", .example = "idle-timeout 10", .brief = "Show or set the idle time-out", .completes = {"off"},
     .host = &kHost<idleTimeout, S::idleTimeout>},
    {.words = "web-port", .programs = kApp, .section = Section::settings, .channel = Channel::host, .wire = "web-port",
     .most = 1, .synopsis = "web-port [PORT|off]", .summary = {"Show or set the window's port (from the next start)"},
     .manual = "Show, or set, the port of Lumetra's window on 127.0.0.1, from the next start. The default is 47823; "
               "*off* turns the window off. *LUMETRA_WEB_PORT* overrides it.",
     .example = "web-port 8080", .brief = "Show or set the window's port", .completes = {"off"}, .host = &kHost<webPort, S::webPort>},
    {.words = "open", .programs = kApp, .section = Section::window, .channel = Channel::host, .wire = "window",
     .synopsis = "open", .summary = {"Print the window's address and open it in the browser"},
     .manual = "Print the window's address, with this start's token, and open it in the browser when there is a "
               "display. The page trades the token for a cookie; the address works until Lumetra stops.",
     .example = "open", .brief = "Open Lumetra's window", .host = &kHost<window, opened>},
    {.words = "export", .programs = kApp, .section = Section::exports, .channel = Channel::host, .wire = "export",
     .most = 1, .options = {"--output"}, .synopsis = "export [RANGE] [-o FILE]",
     .summary = {"Sessions starting in RANGE (All Time by default) as CSV,", "to FILE or standard output. RANGE is as for report"},
     .manual = "Sessions starting in _RANGE_ (All Time by default) as CSV, to _FILE_ (*-o* or *--output*) or standard "
               "output. _RANGE_ is as for *report*. *lumetra import* reads the file back.",
     .example = "export \"Last Month\" -o last-month.csv", .brief = "Export sessions as CSV", .completes = {"All Time|Today|Yesterday|This Week|Last Week|This Month|Last Month|This Year|Last Year"}, .reads = true, .host = &kHost<exportRequest, exported>},
    {.words = "report", .programs = kApp, .section = Section::reports, .channel = Channel::host, .wire = "report",
     .most = 1, .options = {"--by", "--project"},
     .synopsis = "report [RANGE] [--by project|day|week] [--project NAME]...",
     .summary = {"Time per project in RANGE (This Week by default), per", "day or per week with --by. RANGE is All Time, Today,",
                 "Yesterday, This Week, Last Week, This Month, Last Month,", "This Year, Last Year, a day YYYY-MM-DD or FROM..TO"},
     .manual = "Time per project in _RANGE_ (This Week by default), with each project's share, the total, and the "
               "running session counted up to now and marked \"(running)\". *--by day* and *--by week* (ISO weeks, "
               "Monday to Sunday) give one block per day or week. *-p* or *--project*, given once or more, keeps only "
               "those projects. _RANGE_ is one of the export's (in any case, with \"-\" for spaces: *this-week*), "
               "*yesterday*, \"This Year\", \"Last Year\", a day _YYYY-MM-DD_ or days _FROM_.._TO_ (both included). A "
               "session that crosses the range's edge counts only its part inside. With *--json*, every time is in "
               "seconds and the totals add up.",
     .example = "report last-month --by week", .brief = "Time per project, day or week", .completes = {"All Time|Today|Yesterday|This Week|Last Week|This Month|Last Month|This Year|Last Year"}, .reads = true, .host = &kHost<reportRequest, S::report>},
    {.words = "sync enable", .programs = kApp, .section = Section::sync, .channel = Channel::host, .wire = "sync-enable",
     .least = 1, .most = 1, .options = {"--name", "--dry-run"}, .needs = "a folder that a sync engine keeps equal",
     .synopsis = "sync enable FOLDER [--name NAME] [--dry-run]",
     .summary = {"Share this computer's history through FOLDER, which", "Syncthing (or any folder sync) keeps equal on your",
                 "computers. --dry-run shows what the first sync would bring"},
     .manual = "Share this computer's history through _FOLDER_ (made if missing), which Syncthing or any folder sync "
               "keeps equal on your computers: this computer writes its changes there, in a log of its own, and merges "
               "what the others wrote. *--name* names this computer (its host name by default). *--dry-run* shows what "
               "the first sync would bring from each other computer and changes nothing. See *SEVERAL COMPUTERS*.",
     .example = "sync enable ~/Sync/Lumetra --dry-run", .brief = "Sync this computer through a folder",
     .completes = {"@file"}, .host = &kHost<syncEnable, S::syncEnabled>},
    {.words = "sync status", .programs = kApp, .section = Section::sync, .channel = Channel::host, .wire = "sync-status",
     .synopsis = "sync status", .summary = {"This computer, the folder, and what each other computer", "last wrote and tracks"},
     .manual = "This computer's name, the folder and the sync engine found there, and for each other computer when it "
               "last wrote, what isn't read yet, what it is tracking and whether its clock is off; changes not yet "
               "written, and conflicts.",
     .example = "sync status", .brief = "Show how syncing goes", .host = &kHost<nothing<SyncStatusRequest>, S::syncStatus>},
    {.words = "sync now", .programs = kApp, .section = Section::sync, .channel = Channel::host, .wire = "sync-now",
     .synopsis = "sync now", .summary = {"Write and read now, asking Syncthing to look at once"},
     .manual = "Write what is waiting, ask a running Syncthing to look at the folder at once, and read what the "
               "others wrote. Lumetra also does this by itself after every change and whenever the folder changes.",
     .example = "sync now", .brief = "Sync now", .host = &kHost<nothing<SyncNow>, S::syncDone>},
    {.words = "sync conflicts", .programs = kApp, .section = Section::sync, .channel = Channel::host,
     .wire = "sync-conflicts", .synopsis = "sync conflicts",
     .summary = {"What two computers did that needs a look, with its fixes"},
     .manual = "What two computers did that needs a look (an edit of something deleted elsewhere, a project deleted "
               "while another computer tracked in it, two projects of one name, overlapping sessions), each with its "
               "number and its fixes.",
     .example = "sync conflicts", .brief = "List sync conflicts", .host = &kHost<nothing<SyncConflictsRequest>, S::syncConflicts>},
    {.words = "sync resolve", .programs = kApp, .section = Section::sync, .channel = Channel::host,
     .wire = "sync-resolve", .least = 2, .most = 3, .needs = "a conflict's number and a fix",
     .synopsis = "sync resolve N FIX [NAME]",
     .summary = {"Fix conflict N: restore, keep, rename NAME, merge, trim", "or delete, as the conflict offers"},
     .manual = "Fix conflict _N_ with one of the fixes it offers: *restore* (what was changed elsewhere comes back), "
               "*keep* (as it is), *rename* _NAME_, *merge* (two projects become one), *trim* (the session made later "
               "gives way) or *delete* (it goes).",
     .example = "sync resolve 3 restore", .brief = "Fix a sync conflict", .host = &kHost<syncResolve, S::syncResolved>},
    {.words = "sync forget", .programs = kApp, .section = Section::sync, .channel = Channel::host, .wire = "sync-forget",
     .least = 1, .most = 1, .needs = "the name of another computer", .synopsis = "sync forget COMPUTER",
     .summary = {"A lost computer: its running session ends at its last", "activity, and it is no longer listed"},
     .manual = "A computer that is gone: the session it was tracking ends at its last reported activity, and it is no "
               "longer listed until it writes again.",
     .example = "sync forget Desktop", .brief = "Forget a lost computer", .host = &kHost<syncForget, S::syncForgotten>},
    {.words = "sync one-timer", .programs = kApp, .section = Section::sync, .channel = Channel::host,
     .wire = "sync-one-timer", .most = 1, .synopsis = "sync one-timer [on|off]",
     .summary = {"Whether starting here stops a session running elsewhere"},
     .manual = "Show, or set, whether starting a session here stops one running on another computer (on by default).",
     .example = "sync one-timer off", .brief = "One timer on every computer, or not", .completes = {"on|off"},
     .host = &kHost<syncOneTimer, S::syncOneTimer>},
    {.words = "sync disable", .programs = kApp, .section = Section::sync, .channel = Channel::host,
     .wire = "sync-disable", .bare = true, .synopsis = "sync disable",
     .summary = {"Stop syncing; everything stays here and in the folder"},
     .manual = "Stop writing to and reading from the folder. Everything stays here, and in the folder.",
     .example = "sync disable", .brief = "Stop syncing", .host = &kHost<nothing<SyncDisable>, S::syncDisabled>},
    {.words = "convert", .programs = kApp, .section = Section::movingIn, .channel = Channel::local, .least = 2, .most = 2,
     .options = {"--output", "--skip-bad", "--project-tags", "--untagged"},
     .wrongCount = "convert needs a format (toggl, clockify, timewarrior, watson or spreadsheet) and the export's file.",
     .synopsis = "convert FORMAT FILE [-o OUT] [--skip-bad]",
     .summary = {"Another tracker's export as a CSV for \"lumetra import\".", "FORMAT is toggl, clockify, timewarrior, watson",
                 "or spreadsheet (a CSV or TSV a spreadsheet saved)"},
     .manual = "Turn another tracker's export into a CSV that *lumetra import* reads, on standard output or into "
               "_OUT_, without touching any data (no running host is needed). _FORMAT_ is *toggl* (the detailed CSV "
               "report of Toggl Track), *clockify* (Clockify's detailed CSV report), *timewarrior* (what *timew "
               "export* writes), *watson* (its frames file) or *spreadsheet* (a table a spreadsheet saved as CSV or "
               "TSV: \",\", \";\" or tab, with columns such as Project, Client or Task; Date; Start, Begin or From; "
               "End, Stop or To; Duration; Description, Notes or Comment, in any case; other columns are left out "
               "with a note). For Timewarrior the project is the first tag, in the order Timewarrior keeps them, "
               "that names a project here or one given with *--project-tags* _A,B_; untagged intervals go to "
               "*--untagged* _NAME_ (\"Untagged\"). Client, task, other tags and notes go into the description as "
               "\"[client: …]\", \"[task: …]\" and \"[tags: …]\"; an entry without a project goes to \"No project\"; a "
               "timer still running is left out with a note. Each entry gets a source ID (the tracker's own id, or a "
               "hash of its fields), so importing the same export twice adds nothing. Rows that can't be read are "
               "listed with their lines and nothing is written, exit status 1, unless *--skip-bad* leaves them out.",
     .example = "convert toggl Toggl_time_entries.csv -o moved.csv", .brief = "Turn another tracker's export into CSV",
     .completes = {"toggl|clockify|timewarrior|watson|spreadsheet", "@file"}, .local = Local::convert},
    {.words = "install-tool", .programs = kApp, .section = Section::integration, .channel = Channel::local, .bare = true,
     .synopsis = "install-tool",
     .summary = {"Link the lumetra and lumetra-app commands into", "/usr/local/bin, or ~/.local/bin when that isn't writable"},
     .manual = "Link the *lumetra* and *lumetra-app* commands into _/usr/local/bin_, or _~/.local/bin_ when that "
               "isn't writable. Something there that isn't a link into Lumetra is never replaced.",
     .example = "install-tool", .brief = "Link the commands onto the PATH", .local = Local::installTool},
    {.words = "uninstall-tool", .programs = kApp, .section = Section::integration, .channel = Channel::local,
     .bare = true, .synopsis = "uninstall-tool", .summary = {"Remove those links where they point into this copy"},
     .manual = "Remove those links, only where they point into this copy of Lumetra.", .example = "uninstall-tool", .brief = "Remove those links",
     .local = Local::uninstallTool},
    {.words = "install-claude", .programs = kApp, .section = Section::integration, .channel = Channel::local,
     .bare = true, .synopsis = "install-claude", .summary = {"Register \"lumetra mcp\" with the Claude desktop app"},
     .manual = "Register *lumetra mcp* with the Claude desktop app (_~/.config/Claude/claude_desktop_config.json_).",
     .example = "install-claude", .brief = "Register lumetra mcp with the Claude desktop app", .local = Local::installClaude},
    {.words = "install-mcp", .programs = kApp, .section = Section::integration, .channel = Channel::local, .least = 1,
     .most = 1, .wrongCount = "install-mcp takes one assistant: claude-code, vscode or cursor.",
     .synopsis = "install-mcp CLIENT",
     .summary = {"Register \"lumetra mcp\" with another assistant:", "claude-code, vscode or cursor"},
     .manual = "Register *lumetra mcp* with another assistant: *claude-code* (_~/.claude.json_), *vscode* "
               "(_~/.config/Code/User/mcp.json_) or *cursor* (_~/.cursor/mcp.json_). Every other setting is kept, a "
               "file that isn't plain JSON is left alone, and with *LUMETRA_DATA_DIR* set the entry carries it.",
     .example = "install-mcp vscode", .brief = "Register lumetra mcp with another assistant", .completes = {"claude-code|vscode|cursor"}, .local = Local::installMCP},
    {.words = "install-service", .programs = kApp, .section = Section::integration, .channel = Channel::local,
     .bare = true, .synopsis = "install-service",
     .summary = {"Start Lumetra when you log in (a systemd user service,", "or an autostart entry without systemd) and now"},
     .manual = "Start Lumetra when you log in, and now: a systemd user unit, _~/.config/systemd/user/lumetra.service_, "
               "enabled and started, or, where no systemd user manager runs, an autostart entry, "
               "_~/.config/autostart/lumetra.desktop_. A host started by hand while the unit is enabled starts the "
               "service instead and exits.",
     .example = "install-service", .brief = "Start Lumetra when you log in", .local = Local::installService},
    {.words = "uninstall-service", .programs = kApp, .section = Section::integration, .channel = Channel::local,
     .bare = true, .synopsis = "uninstall-service", .summary = {"Stop starting Lumetra when you log in"},
     .manual = "Stop starting Lumetra when you log in: the unit is stopped, disabled and removed, or the autostart "
               "entry removed.",
     .example = "uninstall-service", .brief = "Stop starting Lumetra when you log in", .local = Local::uninstallService},

    {.words = "help", .programs = both, .section = Section::help, .channel = Channel::help, .synopsis = "help", .summary = {"Show this help"},
     .manual = "Show the commands (also *--help* and *-h*).", .example = "help", .brief = "Show the commands"},
};

// The words of a row, one by one.
std::vector<std::string_view> wordsOf(const Row& row) {
  std::vector<std::string_view> words;
  std::string_view rest = row.words;
  while (!rest.empty()) {
    const auto space = rest.find(' ');
    words.push_back(rest.substr(0, space));
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
  }
  return words;
}

// The help's lines for a command: its synopsis, then its summary from `column`, on the next
// line when the synopsis is too long to leave room.
std::string helpLines(std::string_view synopsis, std::span<const std::string_view> summary, std::size_t column) {
  std::string text = "  " + std::string(synopsis);
  for (std::size_t i = 0; i < summary.size() && !summary[i].empty(); ++i) {
    std::string line(summary[i]);
    if (const auto at = line.find(kResumeWindow); at != std::string::npos) {
      line.replace(at, kResumeWindow.size(), ResumeWindow::text());
    }
    if (i == 0 && text.size() < column - 1) {
      text += std::string(column - text.size(), ' ') + line + "\n";
    } else {
      if (i == 0) text += "\n";
      text += std::string(column, ' ') + line + "\n";
    }
  }
  return text;
}

std::string toolUsage() {
  constexpr std::size_t column = 31;
  std::string text = "Usage: lumetra <command> [options]\n\nCommands:\n";
  for (const Row& row : kRows) {
    if (row.in(Program::tool)) text += helpLines(row.synopsis, row.summary, column);
  }
  const std::array<std::string_view, 1> json{"Print the result as JSON"};
  return text + "\nOptions:\n" + helpLines("--json", json, column) +
         "\nLumetra must be running. Exit status: 0 on success, 1 if Lumetra reported an\n"
         "error, an import was refused or its file couldn't be read, 2 for bad usage, 3 if\n"
         "Lumetra isn't running or didn't answer.";
}

std::string appUsage() {
  constexpr std::size_t column = 37;
  struct Titled {
    Section section;
    std::string_view title, note;
  };
  constexpr Titled sections[] = {
      {Section::commands, "Tracking (as “lumetra” does it):", ""},
      {Section::projects, "Projects:", ""},
      {Section::sessions, "Sessions (ids are shown by “lumetra sessions”):",
       "  TIME is HH:MM or HH:MM:SS (today), \"yesterday HH:MM\", \"YYYY-MM-DD HH:MM[:SS]\", an ISO\n"
       "  8601 time (local without an offset), or \"10m ago\", \"1h30m ago\", \"90 minutes ago\".\n"},
      {Section::settings, "Settings:", ""},
      {Section::window, "Window:", ""},
      {Section::exports, "Export:", ""},
      {Section::reports, "Reports:", ""},
      {Section::sync, "Several computers:", ""},
      {Section::movingIn, "Moving in (works without a running Lumetra):", ""},
      {Section::integration, "Integration (these work without a running Lumetra):", ""},
      {Section::help, "", ""},
  };
  std::string text =
      "Usage: lumetra-app [command] [options]\n"
      "\n"
      "With no command, runs Lumetra in the foreground until interrupted (Ctrl-C):\n"
      "it keeps your data, tracks time and answers the lumetra command-line tool.\n"
      "The commands below act on the running Lumetra, as its menu would.\n";
  for (const auto& [section, title, note] : sections) {
    text += "\n" + std::string(title) + (title.empty() ? "" : "\n");
    for (const Row& row : kRows) {
      if (row.in(Program::app) && row.section == section) text += helpLines(row.synopsis, row.summary, column);
    }
    text += note;
  }
  const std::array<std::string_view, 1> json{"Print the result as JSON"}, version{"Print the version"};
  return text + "\nOptions:\n" + helpLines("--json", json, column) + helpLines("--version", version, column) +
         "\nExit status: 0 on success, 1 if Lumetra refused, 2 for bad usage, 3 if Lumetra\n"
         "isn't running or didn't answer.";
}

// Edits (insert, delete, replace, swap two) between two words.
std::size_t distance(std::string_view a, std::string_view b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    for (std::size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
    }
  }
  return d[a.size()][b.size()];
}

// What a delete asks first, with what goes with it.
std::string question(const Row& row, const Arguments& arguments, const Front& front) {
  const std::string& what = arguments.positionals()[2];
  if (row.wire == "session-delete") return "Delete session " + what + "? [y/N] ";
  JSON request = WireCoding::toJSON(ProjectUsage{what});
  request["action"] = "project-usage";
  const auto usage = ControlClient::result<ProjectChange>(front.host(WireCoding::compact(request)));
  const std::int64_t sessions = usage.sessions.value_or(0);
  if (sessions == 0) return "Delete " + curlyQuoted(usage.project.name) + "? [y/N] ";
  return "Delete " + curlyQuoted(usage.project.name) + " and its " + Numbers::grouped(sessions) +
         (sessions == 1 ? " session" : " sessions") + "? [y/N] ";
}

bool yes(const std::optional<std::string>& answer) {
  if (!answer) return false;
  const std::string said = UnicodeText::asciiLowercased(Store::trimmed(*answer));
  return said == "y" || said == "yes";
}

// Why the words name no command, with a pointer: the other program's command of those words, a
// group's commands, or the nearest command for a slip of the keyboard.
std::string unknownCommand(Program program, std::span<const std::string> positionals) {
  const auto grouped = [&](Program p, const std::string& word) {
    std::vector<const Row*> members;
    for (const Row& r : kRows) {
      if (r.in(p) && r.words.starts_with(word + " ")) members.push_back(&r);
    }
    return members;
  };
  const auto members = grouped(program, positionals[0]);
  // A group's word names the group and the word after it: “project frobnicate”.
  const bool group = positionals.size() > 1 && !members.empty();
  std::string message =
      "Unknown command " + curlyQuoted(group ? positionals[0] + " " + positionals[1] : positionals[0]) + ".";
  const Program other = program == Program::tool ? Program::app : Program::tool;
  const Row* elsewhere = find(other, positionals);
  if (!elsewhere) {
    if (const auto theirs = grouped(other, positionals[0]); !theirs.empty()) elsewhere = theirs.front();
  }
  if (elsewhere) {
    return message + "\nThat's a " + std::string(name(other)) + " command: " + std::string(name(other)) + " " +
           std::string(elsewhere->synopsis);
  }
  if (program != Program::app) return message;
  if (positionals.size() == 1 && !members.empty()) {
    std::vector<std::string_view> words;
    for (const Row* r : members) words.push_back(r->words.substr(positionals[0].size() + 1));
    return positionals[0] + " needs a command: " + CommandLineTool::listedChoices(words) + ".";
  }
  std::string_view nearest;
  std::size_t best = 3;
  for (const Row& r : kRows) {
    if (!members.empty()) break;  // the group is right; its command isn't
    if (!r.in(program) || r.words.empty()) continue;
    const std::string_view first = r.words.substr(0, r.words.find(' '));
    if (const auto edits = distance(positionals[0], first); edits < best && edits < first.size() / 2 + 1) {
      best = edits;
      nearest = first;
    }
  }
  if (!nearest.empty()) message += "\nDid you mean " + curlyQuoted(std::string(name(program)) + " " + std::string(nearest)) + "?";
  return message;
}

// The row and the words, before the request is built.
Parsed scanned(Program program, std::span<const std::string> words) {
  Parsed parsed{nullptr, Arguments::scan(words, options(program))};
  const auto& positionals = parsed.arguments.positionals();
  if (positionals.empty() || parsed.arguments.has("--help") || positionals.front() == "help") return parsed;
  const Row* row = find(program, positionals);
  if (!row) throw UsageError(unknownCommand(program, positionals));
  const std::string command(row->words);
  if (row->channel == Channel::entry) throw UsageError(command + " takes no options or arguments.");
  const auto given = rest(parsed.arguments, *row);
  if (row->bare && (!given.empty() || parsed.arguments.has("--json") || !parsed.arguments.given().empty())) {
    throw UsageError(command + " takes no options or arguments.");
  }
  if (given.size() < row->least || given.size() > row->most) {
    if (!row->wrongCount.empty()) throw UsageError(std::string(row->wrongCount));
    if (given.size() < row->least) throw UsageError(command + " needs " + std::string(row->needs) + ".");
    throw UsageError("Too many arguments for " + command + ". Put text with spaces in quotes.");
  }
  parsed.row = row;
  return parsed;
}

void refuseOptionsNotTaken(const Row& row, const Arguments& arguments) {
  for (const auto& option : arguments.given()) {
    if (!row.takes(option)) throw UsageError(std::string(row.words) + " doesn't take " + option + ".");
  }
}

Output usageFailure(Program program, const std::string& message) {
  const std::string shown(name(program));
  return Output{CommandLineTool::usageError, "", shown + ": " + message + "\nRun “" + shown + " help” for usage.\n"};
}

Output sent(Program program, const ControlRequest& request, bool json, const Transport& transport,
            const Context& context) {
  const auto command = *fromRawValue<ControlCommand>(request.command);
  return withResultType(command, [&]<class Result>() {
    Result result;
    try {
      result = ControlClient::send<Result>(request, transport);
    } catch (const ControlError& error) {
      return failure(program, error, json);
    } catch (const std::exception& error) {
      return failure(program, ControlError(ControlError::Code::failed, describe(error)), json);
    }
    int status = CommandLineTool::success;
    if constexpr (std::is_same_v<Result, ImportReport>) {
      if (!result.canImport()) status = CommandLineTool::failure;
    }
    if (json) return Output{status, CommandLineTool::encodeJSON(result) + "\n", ""};
    const Formatter formatter(context.now, context.calendar);
    return Output{status, formatter.told(command, ControlResult(std::move(result))) + "\n", ""};
  });
}

}  // namespace

bool Row::takes(std::string_view option) const { return std::find(options.begin(), options.end(), option) != options.end(); }

std::span<const Row> rows() { return kRows; }

const Row* find(Program program, std::span<const std::string> positionals) {
  const Row* found = nullptr;
  std::size_t longest = 0;
  for (const Row& row : kRows) {
    if (!row.in(program) || row.words.empty()) continue;
    const auto words = wordsOf(row);
    if (words.size() <= positionals.size() && words.size() > longest &&
        std::equal(words.begin(), words.end(), positionals.begin())) {
      found = &row;
      longest = words.size();
    }
  }
  return found;
}

const Row* action(std::string_view wire) {
  for (const Row& row : kRows) {
    if (row.channel == Channel::host && row.wire == wire) return &row;
  }
  return nullptr;
}

std::span<const Arguments::Option> options(Program program) {
  static const auto known = [] {
    std::map<Program, std::vector<Arguments::Option>> each;
    for (const Program p : {Program::tool, Program::app}) {
      for (const auto& option : kOptions) {
        const bool always = option.canonical == "--json" || option.canonical == "--help";
        const bool taken = std::any_of(std::begin(kRows), std::end(kRows),
                                       [&](const Row& row) { return row.in(p) && row.takes(option.canonical); });
        if (always || taken) each[p].push_back(option);
      }
    }
    return each;
  }();
  return known.at(program);
}

bool readsOnly(const std::string& request) {
  try {
    const JSON message = WireCoding::parse(request);
    const auto name = message.is_object() ? message.find("action") : message.end();
    if (name == message.end() || !name->is_string()) return false;
    const Row* row = action(name->get_ref<const std::string&>());
    return row && row->reads;
  } catch (const WireError&) {
    return false;
  }
}

std::string serve(HostAPI& host, const std::string& request, Instant now, const Formatter* formatter) {
  const auto refused = [](const std::string& why) { return ControlError(ControlError::Code::badRequest, why); };
  JSON message;
  try {
    message = WireCoding::parse(request);
  } catch (const WireError& error) {
    throw refused("The request isn't valid: " + error.description());
  }
  if (!message.is_object()) throw refused("The request isn't valid: The message isn't an object.");
  const auto name = message.find("action");
  if (name == message.end() || !name->is_string()) throw refused("The request needs “action”.");
  const Row* row = action(name->get_ref<const std::string&>());
  if (!row) throw refused("Unknown action “" + name->get<std::string>() + "”.");
  return row->host->serve(host, message, now, formatter);
}

const std::string& usage(Program program) {
  static const std::string tool = toolUsage(), app = appUsage();
  return program == Program::tool ? tool : app;
}

int emit(Program program, const Output& output) {
  const int failure = FileSystem::writeAndClose(FileSystem::standardOutput, output.out);
  if (failure == 0) {
    (void)FileSystem::writeAll(FileSystem::standardError, output.err);
    return output.status;
  }
  (void)FileSystem::writeAll(FileSystem::standardError, output.err + std::string(name(program)) +
                                                            ": Couldn't write to standard output: " +
                                                            SystemError::text(failure) + ".\n");
  return output.status != CommandLineTool::success ? output.status : CommandLineTool::failure;
}

std::string_view name(Program program) { return program == Program::tool ? "lumetra" : "lumetra-app"; }

Output failure(Program program, const ControlError& error, bool json) {
  const bool down = error.code == ControlError::Code::notRunning || error.code == ControlError::Code::timedOut;
  const int status = down ? CommandLineTool::unavailable : CommandLineTool::failure;
  if (json) return Output{status, CommandLineTool::encodeJSON(std::map<std::string, ControlError>{{"error", error}}) + "\n", ""};
  return Output{status, "", std::string(name(program)) + ": " + error.message + "\n"};
}

Parsed parse(Program program, std::span<const std::string> words, const Context& context) {
  Parsed parsed = scanned(program, words);
  if (!parsed.row) return parsed;
  const Row& row = *parsed.row;
  // The command's own values first, then the options it doesn't take.
  if (row.control) parsed.control = row.control(parsed.arguments, context);
  if (row.host) parsed.host = row.host->request(parsed.arguments, context, row.wire);
  refuseOptionsNotTaken(row, parsed.arguments);
  return parsed;
}

Output run(const Front& front, std::span<const std::string> words, const Context& context) {
  const Program program = front.program;
  Parsed parsed;
  try {
    parsed = parse(program, words, context);
    if (!parsed.row) return Output{CommandLineTool::success, usage(program) + "\n", ""};
  } catch (const UsageError& error) {
    return usageFailure(program, error.message);
  } catch (const std::exception& error) {
    return Output{CommandLineTool::usageError, "", std::string(name(program)) + ": " + describe(error) + "\n"};
  }

  const Row& row = *parsed.row;
  const Arguments& arguments = parsed.arguments;
  const bool json = arguments.has("--json");
  if (row.channel == Channel::local) return front.local(row, arguments);
  if (auto& request = parsed.control) {
    if (row.readsFile) {
      try {
        request->csv = CommandLineTool::importText(rest(arguments, row)[0], context.readFile);
      } catch (const std::exception& error) {
        return failure(program, ControlError(ControlError::Code::failed, describe(error)), json);
      }
    }
    return sent(program, *request, json, front.control, context);
  }
  try {
    if (row.asks && !arguments.has("--yes")) {
      if (!context.ask) {
        return usageFailure(program, std::string(row.words) + " asks before it deletes, and there is no terminal to "
                                                              "ask on. Add --yes to delete without asking.");
      }
      if (!yes(context.ask(question(row, arguments, front)))) return Output{CommandLineTool::failure, "Nothing was deleted.\n", ""};
    }
    return row.host->told(front.host(parsed.host), arguments, context);
  } catch (const ControlError& error) {
    return failure(program, error, json);
  } catch (const std::exception& error) {
    return failure(program, ControlError(ControlError::Code::failed, "Lumetra sent a reply that couldn't be read: " + describe(error)),
                   json);
  }
}

}  // namespace lumetra::Commands
