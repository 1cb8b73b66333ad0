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

// One action's grammar: its words, how many positional words follow them, and its options.
struct Action {
  std::vector<std::string> words;
  std::string wire;
  std::size_t arguments;
  std::set<std::string> options;
  std::string argumentNames;  // for "needs …" messages
};

const std::vector<Action>& actions() {
  static const std::vector<Action> table{
      {{"projects"}, "projects", 0, {"--all"}, ""},
      {{"project", "add"}, "project-add", 1, {}, "a project name"},
      {{"project", "rename"}, "project-rename", 2, {}, "the project's name and its new name"},
      {{"project", "archive"}, "project-archive", 1, {}, "a project name"},
      {{"project", "unarchive"}, "project-unarchive", 1, {}, "a project name"},
      {{"project", "delete"}, "project-delete", 1, {}, "a project name"},
      {{"session", "add"}, "session-add", 3, {"--description"}, "a project, a start and an end"},
      {{"session", "edit"}, "session-edit", 1, {"--project", "--start", "--end"}, "a session id"},
      {{"session", "split"}, "session-split", 2, {"--first", "--second"}, "a session id and a time"},
      {{"session", "merge"}, "session-merge", 2, {"--description"}, "two session ids"},
      {{"session", "delete"}, "session-delete", 1, {}, "a session id"},
      {{"session", "neighbours"}, "session-neighbours", 1, {}, "a session id"},
      {{"idle-timeout"}, "idle-timeout", 0, {}, ""},
      {{"export"}, "export", 0, {"--output"}, ""},
      {{"report"}, "report", 0, {"--by", "--project"}, ""},
      {{"open"}, "window", 0, {}, ""},
      {{"web-port"}, "web-port", 0, {}, ""},
  };
  return table;
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
std::string timeArgument(const std::string& word, Instant now, const Calendar& calendar) {
  if (auto instant = ControlProtocol::parseTimestamp(word)) return ControlProtocol::formatTimestamp(*instant);
  std::string text = word;
  if (text.size() <= 5) text = DateFormat("yyyy-MM-dd", calendar).format(now) + " " + text;
  for (const char* pattern : {"yyyy-MM-dd HH:mm", "yyyy-MM-dd HH:mm:ss"}) {
    if (auto instant = DateFormat(pattern, calendar).parse(text)) return ControlProtocol::formatTimestamp(*instant);
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

JSON request(const Action& action, const Words& words, std::span<const std::string> rest, Instant now,
             const Calendar& calendar) {
  JSON r = JSON::object();
  r["action"] = action.wire;
  const auto value = [&](const char* option) -> std::optional<std::string> {
    const auto it = words.values.find(option);
    return it == words.values.end() ? std::nullopt : std::optional(it->second);
  };
  const std::string& verb = action.wire;
  if (verb == "projects") {
    r["all"] = words.flags.contains("--all");
  } else if (verb == "project-rename") {
    r["name"] = rest[0];
    r["new_name"] = rest[1];
  } else if (verb.starts_with("project-")) {
    r["name"] = rest[0];
  } else if (verb == "session-add") {
    r["project"] = rest[0];
    r["start"] = timeArgument(rest[1], now, calendar);
    r["end"] = timeArgument(rest[2], now, calendar);
    if (auto d = value("--description")) r["description"] = *d;
  } else if (verb == "idle-timeout") {
    if (!rest.empty()) r["seconds"] = minutesArgument(rest[0]) * 60;
  } else if (verb == "web-port") {
    if (!rest.empty()) r["port"] = rest[0];
  } else if (verb == "window") {
  } else if (verb == "export") {
    if (!rest.empty()) r["range"] = rest[0];
  } else if (verb == "report") {
    if (!rest.empty()) r["range"] = rest[0];
    const std::string by = value("--by").value_or("project");
    if (by != "project" && by != "day" && by != "week") {
      throw UsageError("--by takes project, day or week, not " + curlyQuoted(by) + ".");
    }
    r["by"] = by;
    if (!words.projects.empty()) r["projects"] = words.projects;
  } else {
    r["id"] = sessionId(rest[0]);
    if (verb == "session-edit") {
      if (auto p = value("--project")) r["project"] = *p;
      if (auto s = value("--start")) r["start"] = timeArgument(*s, now, calendar);
      if (auto e = value("--end")) r["end"] = timeArgument(*e, now, calendar);
      if (words.values.empty()) throw UsageError("session edit needs --project, --start or --end.");
    } else if (verb == "session-split") {
      r["at"] = timeArgument(rest[1], now, calendar);
      if (auto f = value("--first")) r["first"] = *f;
      if (auto s = value("--second")) r["second"] = *s;
    } else if (verb == "session-merge") {
      r["next_id"] = sessionId(rest[1]);
      if (auto d = value("--description")) r["description"] = *d;
    }
  }
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
std::string reportText(const JSON& result) {
  using CommandLineTool::Formatter;
  const std::string label = result.at("range").get<std::string>(), first = result.at("first_day").get<std::string>(),
                    last = result.at("last_day").get<std::string>();
  const std::string days = first == last ? first : first + " to " + last;
  const std::string period = label == days ? label : label + " (" + days + ")";
  const auto& groups = result.at("groups");
  if (groups.empty()) return "No time was tracked in " + period + ".";
  const bool grouped = result.at("by") != "project";
  std::vector<std::array<std::string, 4>> rows;  // group, project, time, share
  for (const auto& group : groups) {
    const double total = group.at("seconds").get<double>();
    bool opening = true;
    for (const auto& project : group.at("projects")) {
      const auto seconds = project.at("seconds").get<std::int64_t>();
      char share[16];
      std::snprintf(share, sizeof share, "%.0f%%", total > 0 ? 100.0 * static_cast<double>(seconds) / total : 0.0);
      rows.push_back({grouped && opening ? group.at("label").get<std::string>() : "",
                      project.at("project").get<std::string>() + (project.at("running").get<bool>() ? " (running)" : ""),
                      Formatter::duration(seconds), share});
      opening = false;
    }
  }
  rows.push_back({grouped ? "Total" : "", grouped ? "" : "Total", Formatter::duration(result.at("seconds").get<std::int64_t>()),
                  ""});
  // Padded by terminal columns, so that names in wide scripts line up too.
  std::array<std::size_t, 4> widths{};
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], UnicodeText::displayWidth(row[c]));
  }
  const auto padding = [&](const std::string& text, std::size_t c) {
    return std::string(widths[c] - UnicodeText::displayWidth(text), ' ');
  };
  std::string text = "Report for " + period + (grouped ? ", by " + result.at("by").get<std::string>() : "") + ":";
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
  const auto session = [&](const char* key) {
    const auto info = WireCoding::fromJSON<SessionInfo>(result.at(key), key);
    return "session " + std::to_string(info.id) + " (" + info.project + ", " + formatter.time(info.start) + " to " +
           (info.end ? formatter.time(*info.end) : "now") + ")";
  };
  const auto projectName = [&] { return curlyQuoted(result.at("project").at("name").get<std::string>()); };
  const std::string stopped = result.value("stopped_running", false) ? " Its running session was stopped." : "";
  if (verb == "projects") {
    return formatter.projects(ProjectsResult{WireCoding::fromJSON<std::vector<ProjectInfo>>(result.at("projects"))});
  }
  if (verb == "project-add") return "Added project " + projectName() + ".";
  if (verb == "project-rename") {
    return "Renamed " + curlyQuoted(result.at("old_name").get<std::string>()) + " to " + projectName() + ".";
  }
  if (verb == "project-archive") return "Archived " + projectName() + "." + stopped;
  if (verb == "project-unarchive") return "Unarchived " + projectName() + ".";
  if (verb == "project-delete") {
    const auto count = result.at("deleted_sessions").get<std::int64_t>();
    return "Deleted " + projectName() + " and its " + std::to_string(count) + " session" + (count == 1 ? "" : "s") +
           "." + stopped;
  }
  if (verb == "session-add") return "Added " + session("session") + ".";
  if (verb == "session-edit") return "Changed " + session("session") + ".";
  if (verb == "session-split") return "Split into " + session("first") + " and " + session("second") + ".";
  if (verb == "session-merge") return "Merged into " + session("session") + ".";
  if (verb == "session-delete") return "Deleted " + session("session") + ".";
  if (verb == "session-neighbours") {
    std::string lines;
    if (!result.at("previous").is_null()) lines += "Can be merged with the previous " + session("previous") + ".";
    if (!result.at("next").is_null()) {
      lines += (lines.empty() ? "" : "\n") + std::string("Can be merged with the next ") + session("next") + ".";
    }
    if (lines.empty()) {
      lines = "No neighbour of " + session("session") +
              " can be merged with it: merging needs the same project and kind of times, next to each other and at "
              "most 5 minutes apart.";
    }
    return lines;
  }
  if (verb == "report") return reportText(result);
  if (verb == "window") return "Lumetra's window: " + result.at("url").get<std::string>();
  if (verb == "web-port") {
    const std::string port = result.at("port").get<std::string>();
    const std::string where = port == "off" ? "is off" : "uses port " + port;
    if (result.value("changed", false)) return "From Lumetra's next start, the window " + where + ".";
    const JSON& serving = result.at("serving");
    if (serving.is_string() && serving != port) {
      return "The window is on port " + serving.get<std::string>() + " now; its setting is " +
             (port == "off" ? "off" : "port " + port) + ".";
    }
    return "The window " + where + ".";
  }
  if (verb == "idle-timeout") {
    return "Sessions stop after " + minutesText(result.at("seconds").get<double>()) + " without input.";
  }
  return result.dump();
}

const std::string& usage() {
  static const std::string text =
      "Usage: lumetra-app [command] [options]\n"
      "\n"
      "With no command, runs Lumetra in the foreground until interrupted (Ctrl-C):\n"
      "it keeps your data, tracks time and answers the lumetra command-line tool.\n"
      "The commands below act on the running Lumetra, as its menu would.\n"
      "\n"
      "Projects:\n"
      "  projects [--all]                   Active projects (--all adds archived ones)\n"
      "  project add NAME                   Create a project\n"
      "  project rename NAME NEW_NAME       Rename a project\n"
      "  project archive NAME               Archive a project (its running session stops)\n"
      "  project unarchive NAME             Make an archived project active again\n"
      "  project delete NAME                Delete a project and all its sessions\n"
      "\n"
      "Sessions (ids are shown by “lumetra sessions”):\n"
      "  session add PROJECT START END [-d TEXT]\n"
      "                                     Enter a finished session by hand\n"
      "  session edit ID [-p PROJECT] [--start TIME] [--end TIME]\n"
      "                                     Change a session's project or times\n"
      "  session split ID TIME [--first TEXT] [--second TEXT]\n"
      "                                     Split a session in two at TIME\n"
      "  session merge ID OTHER_ID [-d TEXT]\n"
      "                                     Merge two neighbouring sessions of a project\n"
      "  session delete ID                  Delete a session\n"
      "  session neighbours ID              Which neighbours a session can be merged with\n"
      "  TIME is HH:MM (today), \"YYYY-MM-DD HH:MM\" or an ISO 8601 time.\n"
      "\n"
      "Settings:\n"
      "  idle-timeout [MINUTES]             Show or set how long without input stops a session\n"
      "  web-port [PORT|off]                Show or set the window's port (from the next start)\n"
      "\n"
      "Window:\n"
      "  open                               Print the window's address and open it in the browser\n"
      "\n"
      "Export:\n"
      "  export [RANGE] [-o FILE]           Sessions starting in RANGE as CSV, to FILE or standard\n"
      "                                     output. RANGE is \"All Time\" (the default), Today,\n"
      "                                     \"This Week\", \"Last Week\", \"This Month\" or \"Last Month\"\n"
      "\n"
      "Reports:\n"
      "  report [RANGE] [--by project|day|week] [--project NAME]...\n"
      "                                     Time per project in RANGE (This Week by default), per\n"
      "                                     day or per ISO week with --by. RANGE is one of the\n"
      "                                     export's, Yesterday, \"This Year\", \"Last Year\", a day\n"
      "                                     YYYY-MM-DD or days FROM..TO\n"
      "\n"
      "Moving in (works without a running Lumetra):\n"
      "  convert FORMAT FILE [-o OUT] [--skip-bad]\n"
      "                                     Another tracker's export as a CSV for \"lumetra import\".\n"
      "                                     FORMAT is toggl, clockify, timewarrior or watson\n"
      "\n"
      "Integration (these work without a running Lumetra):\n"
      "  install-tool                       Link the lumetra and lumetra-app commands into\n"
      "                                     /usr/local/bin, or ~/.local/bin when that isn't writable\n"
      "  uninstall-tool                     Remove those links where they point into this copy\n"
      "  install-claude                     Register \"lumetra mcp\" with the Claude desktop app\n"
      "  install-mcp CLIENT                 Register \"lumetra mcp\" with another assistant:\n"
      "                                     claude-code, vscode or cursor\n"
      "\n"
      "  help                               Show this help\n"
      "\n"
      "Options:\n"
      "  --json                             Print the result as JSON\n"
      "  --version                          Print the version\n"
      "\n"
      "Exit status: 0 on success, 1 if Lumetra refused, 2 for bad usage, 3 if Lumetra\n"
      "isn't running or didn't answer.";
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
      if (positionals.size() >= candidate.words.size() &&
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
    const std::size_t allowed =
        action->wire == "idle-timeout" || action->wire == "export" || action->wire == "report" ||
                action->wire == "web-port"
            ? 1 : action->arguments;
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
