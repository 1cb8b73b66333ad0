#include "MenuCommandLine.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <charconv>
#include <cstdio>
#include <map>
#include <set>
#include <vector>

#include "actions/ActionRecords.hpp"
#include "cli/Formatter.hpp"
#include "control/ProjectInfo.hpp"
#include "control/SessionInfo.hpp"
#include "control/WireCoding.hpp"
#include "platform/DateFormat.hpp"
#include "platform/FileSystem.hpp"
#include "platform/SystemError.hpp"
#include "platform/UnicodeText.hpp"

namespace lumetra::MenuCommandLine {

namespace {

using CommandLineTool::Output;
using CommandLineTool::UsageError;

const std::map<std::string, std::string, std::less<>> kValueOptions{
    {"-d", "--description"}, {"--description", "--description"}, {"-p", "--project"}, {"--project", "--project"},
    {"--start", "--start"},  {"--end", "--end"},                 {"--first", "--first"}, {"--second", "--second"},
    {"-o", "--output"},      {"--output", "--output"},           {"--by", "--by"}};
const std::set<std::string, std::less<>> kFlags{"--json", "--all", "--help", "-h"};

struct Words {
  std::vector<std::string> positionals;
  std::vector<std::string> projects;  // every --project, for the actions that take several
  std::map<std::string, std::string, std::less<>> values;
  std::set<std::string, std::less<>> flags;
};

Words scan(std::span<const std::string> arguments) {
  Words words;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (optionsEnded) {
      words.positionals.push_back(word);
    } else if (word == "--") {
      optionsEnded = true;
    } else if (auto it = kValueOptions.find(word); it != kValueOptions.end()) {
      if (i + 1 >= arguments.size()) throw UsageError(word + " needs a value.");
      words.values[it->second] = arguments[++i];
      if (it->second == "--project") words.projects.push_back(arguments[i]);
    } else if (kFlags.contains(word)) {
      words.flags.insert(word == "-h" ? "--help" : word);
    } else if (CommandLineTool::looksLikeOption(word)) {
      throw UsageError("Unknown option " + word + ".");
    } else {
      words.positionals.push_back(word);
    }
  }
  return words;
}

// The help's sections, in order, each with a line under its commands where it has one.
struct Section {
  std::string_view title;
  std::string_view note;
};
constexpr std::array<Section, 8> kSections{{
    {"Projects:", ""},
    {"Sessions (ids are shown by “lumetra sessions”):", "  TIME is HH:MM (today), \"YYYY-MM-DD HH:MM\" or an ISO 8601 time."},
    {"Settings:", ""},
    {"Window:", ""},
    {"Export:", ""},
    {"Reports:", ""},
    {"Moving in (works without a running Lumetra):", ""},
    {"Integration (these work without a running Lumetra):", ""},
}};

// One command: its words, the host action it sends (none for those run without the host), how
// many positional words follow (at least, at most), its options, and its help.
struct Action {
  std::size_t section;
  std::vector<std::string> words;
  std::string wire;
  std::size_t arguments;
  std::size_t mostArguments;
  std::set<std::string> options;
  std::string argumentNames;  // for "needs …" messages
  std::string synopsis;
  std::vector<std::string> summary;  // the help's lines
};

// Every command of lumetra-app: the grammar run() follows and the help usage() prints.
const std::vector<Action>& actions() {
  static const std::vector<Action> table{
      {0, {"projects"}, "projects", 0, 0, {"--all"}, "", "projects [--all]", {"Active projects (--all adds archived ones)"}},
      {0, {"project", "add"}, "project-add", 1, 1, {}, "a project name", "project add NAME", {"Create a project"}},
      {0, {"project", "rename"}, "project-rename", 2, 2, {}, "the project's name and its new name",
       "project rename NAME NEW_NAME", {"Rename a project"}},
      {0, {"project", "archive"}, "project-archive", 1, 1, {}, "a project name", "project archive NAME",
       {"Archive a project (its running session stops)"}},
      {0, {"project", "unarchive"}, "project-unarchive", 1, 1, {}, "a project name", "project unarchive NAME",
       {"Make an archived project active again"}},
      {0, {"project", "delete"}, "project-delete", 1, 1, {}, "a project name", "project delete NAME",
       {"Delete a project and all its sessions"}},
      {1, {"session", "add"}, "session-add", 3, 3, {"--description"}, "a project, a start and an end",
       "session add PROJECT START END [-d TEXT]", {"Enter a finished session by hand"}},
      {1, {"session", "edit"}, "session-edit", 1, 1, {"--project", "--start", "--end"}, "a session id",
       "session edit ID [-p PROJECT] [--start TIME] [--end TIME]", {"Change a session's project or times"}},
      {1, {"session", "split"}, "session-split", 2, 2, {"--first", "--second"}, "a session id and a time",
       "session split ID TIME [--first TEXT] [--second TEXT]", {"Split a session in two at TIME"}},
      {1, {"session", "merge"}, "session-merge", 2, 2, {"--description"}, "two session ids",
       "session merge ID OTHER_ID [-d TEXT]", {"Merge two neighbouring sessions of a project"}},
      {1, {"session", "delete"}, "session-delete", 1, 1, {}, "a session id", "session delete ID", {"Delete a session"}},
      {1, {"session", "neighbours"}, "session-neighbours", 1, 1, {}, "a session id", "session neighbours ID",
       {"Which neighbours a session can be merged with"}},
      {2, {"idle-timeout"}, "idle-timeout", 0, 1, {}, "", "idle-timeout [MINUTES]",
       {"Show or set how long without input stops a session"}},
      {2, {"web-port"}, "web-port", 0, 1, {}, "", "web-port [PORT|off]",
       {"Show or set the window's port (from the next start)"}},
      {3, {"open"}, "window", 0, 0, {}, "", "open", {"Print the window's address and open it in the browser"}},
      {4, {"export"}, "export", 0, 1, {"--output"}, "", "export [RANGE] [-o FILE]",
       {"Sessions starting in RANGE as CSV, to FILE or standard",
        "output. RANGE is \"All Time\" (the default), Today,",
        "\"This Week\", \"Last Week\", \"This Month\" or \"Last Month\""}},
      {5, {"report"}, "report", 0, 1, {"--by", "--project"}, "", "report [RANGE] [--by project|day|week] [--project NAME]...",
       {"Time per project in RANGE (This Week by default), per", "day or per ISO week with --by. RANGE is one of the",
        "export's, Yesterday, \"This Year\", \"Last Year\", a day", "YYYY-MM-DD or days FROM..TO"}},
      {6, {"convert"}, "", 0, 0, {}, "", "convert FORMAT FILE [-o OUT] [--skip-bad]",
       {"Another tracker's export as a CSV for \"lumetra import\".", "FORMAT is toggl, clockify, timewarrior or watson"}},
      {7, {"install-tool"}, "", 0, 0, {}, "", "install-tool",
       {"Link the lumetra and lumetra-app commands into", "/usr/local/bin, or ~/.local/bin when that isn't writable"}},
      {7, {"uninstall-tool"}, "", 0, 0, {}, "", "uninstall-tool", {"Remove those links where they point into this copy"}},
      {7, {"install-claude"}, "", 0, 0, {}, "", "install-claude", {"Register \"lumetra mcp\" with the Claude desktop app"}},
      {7, {"install-mcp"}, "", 0, 0, {}, "", "install-mcp CLIENT",
       {"Register \"lumetra mcp\" with another assistant:", "claude-code, vscode or cursor"}},
      {7, {"install-service"}, "", 0, 0, {}, "", "install-service",
       {"Start Lumetra when you log in (a systemd user service,", "or an autostart entry without systemd) and now"}},
      {7, {"uninstall-service"}, "", 0, 0, {}, "", "uninstall-service", {"Stop starting Lumetra when you log in"}},
  };
  return table;
}

// "  synopsis   summary" with the summary from column 38, on the next line when the synopsis is long.
std::string helpLines(std::string_view synopsis, const std::vector<std::string>& summary) {
  constexpr std::size_t column = 37;
  std::string text = "  " + std::string(synopsis);
  const std::string indent(column, ' ');
  for (std::size_t i = 0; i < summary.size(); ++i) {
    if (i == 0 && text.size() < column - 1) {
      text += std::string(column - text.size(), ' ') + summary[i] + "\n";
    } else {
      if (i == 0) text += "\n";
      text += indent + summary[i] + "\n";
    }
  }
  return text;
}

std::int64_t sessionId(const std::string& word) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error != std::errc() || end != word.data() + word.size() || value <= 0) {
    throw UsageError(curlyQuoted(word) + " isn't a session id. Ids are shown by “lumetra sessions”.");
  }
  return value;
}

// "HH:MM" today, "YYYY-MM-DD HH:MM[:SS]" or an ISO 8601 time, in the user's calendar.
Instant timeArgument(const std::string& word, Instant now, const Calendar& calendar) {
  if (auto instant = ControlProtocol::parseTimestamp(word)) return *instant;
  std::string text = word;
  if (text.size() <= 5) text = DateFormat("yyyy-MM-dd", calendar).format(now) + " " + text;
  for (const char* pattern : {"yyyy-MM-dd HH:mm", "yyyy-MM-dd HH:mm:ss"}) {
    if (auto instant = DateFormat(pattern, calendar).parse(text)) return *instant;
  }
  throw UsageError(curlyQuoted(word) + " isn't a time. Use HH:MM, “YYYY-MM-DD HH:MM” or an ISO 8601 time.");
}

double minutesArgument(const std::string& word) {
  double minutes = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), minutes);
  if (error != std::errc() || end != word.data() + word.size() || !(minutes > 0) || minutes > 1e6) {
    throw UsageError(curlyQuoted(word) + " isn't a number of minutes above 0.");
  }
  return minutes;
}

// The action's request record, encoded; "action" names it.
JSON request(const Action& action, const Words& words, std::span<const std::string> rest, Instant now,
             const Calendar& calendar) {
  const auto value = [&](const char* option) -> std::optional<std::string> {
    const auto it = words.values.find(option);
    return it == words.values.end() ? std::nullopt : std::optional(it->second);
  };
  const auto time = [&](const std::string& word) { return timeArgument(word, now, calendar); };
  const auto optionalTime = [&](const char* option) -> std::optional<Instant> {
    if (auto word = value(option)) return time(*word);
    return std::nullopt;
  };
  const auto first = [&]() -> std::optional<std::string> {
    return rest.empty() ? std::nullopt : std::optional(rest[0]);
  };
  const std::string& verb = action.wire;
  JSON r;
  if (verb == "projects") {
    r = WireCoding::toJSON(ProjectsRequest{words.flags.contains("--all")});
  } else if (verb.starts_with("project-")) {
    r = WireCoding::toJSON(ProjectRequest{rest[0], rest.size() > 1 ? std::optional(rest[1]) : std::nullopt});
  } else if (verb == "session-add") {
    r = WireCoding::toJSON(SessionAddRequest{rest[0], time(rest[1]), time(rest[2]), value("--description")});
  } else if (verb == "session-edit") {
    if (words.values.empty()) throw UsageError("session edit needs --project, --start or --end.");
    r = WireCoding::toJSON(
        SessionEditRequest{sessionId(rest[0]), value("--project"), optionalTime("--start"), optionalTime("--end")});
  } else if (verb == "session-split") {
    r = WireCoding::toJSON(SessionSplitRequest{sessionId(rest[0]), time(rest[1]), value("--first"), value("--second")});
  } else if (verb == "session-merge") {
    r = WireCoding::toJSON(SessionMergeRequest{sessionId(rest[0]), sessionId(rest[1]), value("--description")});
  } else if (verb.starts_with("session-")) {
    r = WireCoding::toJSON(SessionIdRequest{sessionId(rest[0])});
  } else if (verb == "idle-timeout") {
    r = WireCoding::toJSON(IdleTimeoutSetting{rest.empty() ? std::nullopt : std::optional(minutesArgument(rest[0]) * 60)});
  } else if (verb == "web-port") {
    r = WireCoding::toJSON(WebPortRequest{first()});
  } else if (verb == "export") {
    r = WireCoding::toJSON(ExportRequest{first()});
  } else if (verb == "report") {
    const std::string by = value("--by").value_or("project");
    if (by != "project" && by != "day" && by != "week") {
      throw UsageError("--by takes project, day or week, not " + curlyQuoted(by) + ".");
    }
    r = WireCoding::toJSON(ReportRequest{
        first(), by, words.projects.empty() ? std::nullopt : std::optional(words.projects)});
  } else {
    r = JSON::object();  // the window's address: nothing to send
  }
  r["action"] = verb;
  return r;
}

std::string minutesText(double seconds) {
  char text[64];
  const double minutes = seconds / 60;
  std::snprintf(text, sizeof text, "%g minute%s", minutes, minutes == 1 ? "" : "s");
  return text;
}

// A report as a table: one block per day or week (or one for the whole period), a project per
// line with its time and its share of the block, and the grand total.
std::string reportText(const Report& report) {
  using CommandLineTool::Formatter;
  const std::string days = report.firstDay == report.lastDay ? report.firstDay : report.firstDay + " to " + report.lastDay;
  const std::string period = report.range == days ? report.range : report.range + " (" + days + ")";
  if (report.groups.empty()) return "No time was tracked in " + period + ".";
  const bool grouped = report.by != "project";
  std::vector<std::array<std::string, 4>> rows;  // group, project, time, share
  for (const auto& group : report.groups) {
    bool opening = true;
    for (const auto& line : group.projects) {
      char share[16];
      std::snprintf(share, sizeof share, "%.0f%%",
                    group.seconds > 0 ? 100.0 * static_cast<double>(line.seconds) / static_cast<double>(group.seconds) : 0.0);
      rows.push_back({grouped && opening ? group.label : "", line.project + (line.running ? " (running)" : ""),
                      Formatter::duration(line.seconds), share});
      opening = false;
    }
  }
  rows.push_back({grouped ? "Total" : "", grouped ? "" : "Total", Formatter::duration(report.seconds), ""});
  // Padded by terminal columns, so that names in wide scripts line up too.
  std::array<std::size_t, 4> widths{};
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], UnicodeText::displayWidth(row[c]));
  }
  const auto padding = [&](const std::string& text, std::size_t c) {
    return std::string(widths[c] - UnicodeText::displayWidth(text), ' ');
  };
  std::string text = "Report for " + period + (grouped ? ", by " + report.by : "") + ":";
  for (const auto& row : rows) {
    std::string line = "\n  ";
    if (grouped) line += row[0] + padding(row[0], 0) + "  ";
    line += row[1] + padding(row[1], 1) + "  " + padding(row[2], 2) + row[2] + "  " + padding(row[3], 3) + row[3];
    text += Formatter::trimmingTrailingSpaces(line);
  }
  return text;
}

}  // namespace

std::string printed(const std::string& verb, const JSON& result, const CommandLineTool::Formatter& formatter) {
  const auto session = [&](const SessionInfo& info) {
    return "session " + std::to_string(info.id) + " (" + info.project + ", " + formatter.time(info.start) + " to " +
           (info.end ? formatter.time(*info.end) : "now") + ")";
  };
  if (verb == "projects") {
    return formatter.projects(ProjectsResult{WireCoding::fromJSON<ProjectsReply>(result).projects});
  }
  if (verb.starts_with("project-")) {
    const auto change = WireCoding::fromJSON<ProjectChange>(result);
    const std::string projectName = curlyQuoted(change.project.name);
    const std::string stopped = change.stoppedRunning.value_or(false) ? " Its running session was stopped." : "";
    if (verb == "project-add") return "Added project " + projectName + ".";
    if (verb == "project-rename") return "Renamed " + curlyQuoted(change.oldName.value_or("")) + " to " + projectName + ".";
    if (verb == "project-archive") return "Archived " + projectName + "." + stopped;
    if (verb == "project-unarchive") return "Unarchived " + projectName + ".";
    if (verb == "project-delete") {
      const auto count = change.deletedSessions.value_or(0);
      return "Deleted " + projectName + " and its " + std::to_string(count) + " session" + (count == 1 ? "" : "s") + "." +
             stopped;
    }
  }
  if (verb == "session-neighbours") {
    const auto found = WireCoding::fromJSON<SessionNeighbours>(result);
    std::string lines;
    if (found.previous) lines += "Can be merged with the previous " + session(*found.previous) + ".";
    if (found.next) lines += (lines.empty() ? "" : "\n") + std::string("Can be merged with the next ") + session(*found.next) + ".";
    if (lines.empty()) {
      lines = "No neighbour of " + session(found.session) +
              " can be merged with it: merging needs the same project and kind of times, next to each other and at "
              "most 5 minutes apart.";
    }
    return lines;
  }
  if (verb.starts_with("session-")) {
    const auto change = WireCoding::fromJSON<SessionChange>(result);
    if (verb == "session-split") {
      return "Split into " + session(change.first.value()) + " and " + session(change.second.value()) + ".";
    }
    const std::string what = verb == "session-add"     ? "Added "
                             : verb == "session-edit"  ? "Changed "
                             : verb == "session-merge" ? "Merged into "
                                                       : "Deleted ";
    return what + session(change.session.value()) + ".";
  }
  if (verb == "report") return reportText(WireCoding::fromJSON<Report>(result));
  if (verb == "window") return "Lumetra's window: " + WireCoding::fromJSON<WindowAddress>(result).url;
  if (verb == "web-port") {
    const auto setting = WireCoding::fromJSON<WebPortSetting>(result);
    const std::string& port = setting.port;
    const std::string where = port == "off" ? "is off" : "uses port " + port;
    if (setting.changed) return "From Lumetra's next start, the window " + where + ".";
    if (setting.serving && *setting.serving != port) {
      return "The window is on port " + *setting.serving + " now; its setting is " +
             (port == "off" ? "off" : "port " + port) + ".";
    }
    return "The window " + where + ".";
  }
  if (verb == "idle-timeout") {
    const auto setting = WireCoding::fromJSON<IdleTimeout>(result);
    if (setting.detected) return "Sessions stop after " + minutesText(setting.seconds) + " without input.";
    return "Sessions would stop after " + minutesText(setting.seconds) + " without input, but " +
           std::string(MenuCommandLine::unseenInput);
  }
  return result.dump();
}

const std::string& usage() {
  static const std::string text = [] {
    std::string help =
        "Usage: lumetra-app [command] [options]\n"
        "\n"
        "With no command, runs Lumetra in the foreground until interrupted (Ctrl-C):\n"
        "it keeps your data, tracks time and answers the lumetra command-line tool.\n"
        "The commands below act on the running Lumetra, as its menu would.\n";
    for (std::size_t section = 0; section < kSections.size(); ++section) {
      help += '\n';
      help += kSections[section].title;
      help += '\n';
      for (const auto& action : actions()) {
        if (action.section == section) help += helpLines(action.synopsis, action.summary);
      }
      if (!kSections[section].note.empty()) help += std::string(kSections[section].note) + "\n";
    }
    return help + "\n" + helpLines("help", {"Show this help"}) + "\nOptions:\n" +
           helpLines("--json", {"Print the result as JSON"}) + helpLines("--version", {"Print the version"}) +
           "\nExit status: 0 on success, 1 if Lumetra refused, 2 for bad usage, 3 if Lumetra\n"
           "isn't running or didn't answer.";
  }();
  return text;
}

bool isMenuAction(std::span<const std::string> arguments) { return !arguments.empty(); }

Output run(std::span<const std::string> arguments, const Transport& transport, Instant now, const Calendar& calendar,
           const std::function<void(const std::string&)>& openAddress) {
  JSON wireRequest;
  std::string verb;
  bool json = false;
  std::optional<std::string> outputPath;
  try {
    const Words words = scan(arguments);
    if (words.flags.contains("--help") || words.positionals.empty() || words.positionals.front() == "help") {
      return Output{0, usage() + "\n", ""};
    }
    const auto& positionals = words.positionals;
    const Action* action = nullptr;
    for (const auto& candidate : actions()) {
      if (!candidate.wire.empty() && positionals.size() >= candidate.words.size() &&
          std::equal(candidate.words.begin(), candidate.words.end(), positionals.begin())) {
        action = &candidate;
      }
    }
    if (!action) {
      const std::string what = positionals.size() > 1 && (positionals[0] == "project" || positionals[0] == "session")
                                   ? positionals[0] + " " + positionals[1]
                                   : positionals[0];
      throw UsageError("Unknown command " + curlyQuoted(what) + ".");
    }
    const std::string shown = action->words.size() == 1 ? action->words[0] : action->words[0] + " " + action->words[1];
    const auto rest = std::span(positionals).subspan(action->words.size());
    const std::size_t allowed = action->mostArguments;
    if (rest.size() < action->arguments) throw UsageError(shown + " needs " + action->argumentNames + ".");
    if (rest.size() > allowed) throw UsageError("Too many arguments for " + shown + ". Put text with spaces in quotes.");
    std::vector<std::string> given;
    for (const auto& [option, value] : words.values) given.push_back(option);
    for (const auto& flag : words.flags) given.push_back(flag);
    std::sort(given.begin(), given.end());
    for (const auto& option : given) {
      if (option != "--json" && !action->options.contains(option)) {
        throw UsageError(shown + " doesn't take " + option + ".");
      }
    }
    json = words.flags.contains("--json");
    verb = action->wire;
    if (auto output = words.values.find("--output"); output != words.values.end()) outputPath = output->second;
    wireRequest = request(*action, words, rest, now, calendar);
  } catch (const UsageError& error) {
    return Output{2, "", std::string(name) + ": " + error.message + "\nRun “" + std::string(name) + " help” for usage.\n"};
  } catch (const std::exception& error) {
    return Output{2, "", std::string(name) + ": " + describe(error) + "\n"};
  }

  const auto failure = [&](int status, const ControlError& error) {
    if (json) return Output{status, CommandLineTool::encodeJSON(std::map<std::string, ControlError>{{"error", error}}) + "\n", ""};
    return Output{status, "", std::string(name) + ": " + error.message + "\n"};
  };
  try {
    const JSON reply = WireCoding::parse(transport(WireCoding::compact(wireRequest)));
    if (!reply.value("ok", false)) {
      if (const auto it = reply.find("error"); it != reply.end()) throw WireCoding::fromJSON<ControlError>(*it, "error");
      throw ControlError(ControlError::Code::failed, "Lumetra reported an error without details.");
    }
    const JSON& result = reply.at("result");
    if (verb == "export" && !json) {
      const std::string text = result.at("csv").get<std::string>();
      if (!outputPath) return Output{0, text, ""};
      try {
        FileSystem::writeAtomically(*outputPath, text);
      } catch (const std::filesystem::filesystem_error& error) {
        return failure(1, ControlError(ControlError::Code::failed, "Couldn't write " + *outputPath + ": " +
                                                                       SystemError::text(error.code().value()) + "."));
      }
      return Output{0, "Exported to " + *outputPath + ".\n", ""};
    }
    if (verb == "window" && openAddress) openAddress(result.at("url").get<std::string>());
    const CommandLineTool::Formatter formatter(now, calendar);
    return Output{0, (json ? WireCoding::pretty(result) : printed(verb, result, formatter)) + "\n", ""};
  } catch (const ControlError& error) {
    const bool down = error.code == ControlError::Code::notRunning || error.code == ControlError::Code::timedOut;
    return failure(down ? 3 : 1, error);
  } catch (const std::exception& error) {
    return failure(1, ControlError(ControlError::Code::failed,
                                   "Lumetra sent a reply that couldn't be read: " + describe(error)));
  }
}

}  // namespace lumetra::MenuCommandLine
