#include "cli/CommandLineTool.hpp"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "cli/Formatter.hpp"
#include "control/DateArgument.hpp"
#include "control/ProjectsResult.hpp"
#include "control/SessionResult.hpp"
#include "control/SessionsResult.hpp"
#include "control/StartResult.hpp"
#include "control/StatusResult.hpp"
#include "control/StopResult.hpp"
#include "store/ImportReport.hpp"
#include "platform/Numbers.hpp"
#include "platform/UnicodeText.hpp"
#include "control/ResumeWindow.hpp"

namespace lumetra::CommandLineTool {

namespace {

// Value options: spelling → canonical name.
constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kValueOptions{{
    {"--description", "--description"},
    {"-d", "--description"},
    {"--since", "--since"},
    {"--until", "--until"},
    {"--project", "--project"},
    {"-p", "--project"},
    {"--limit", "--limit"},
    {"-n", "--limit"},
}};
constexpr std::array<std::string_view, 6> kFlags{"--json", "--all", "--help", "-h", "--dry-run", "--allow-overlaps"};

// Each command's grammar: how many positional words, and which options it takes.
struct Grammar {
  ControlCommand command;
  std::size_t minWords, maxWords;
  std::array<std::string_view, 4> options;
  std::string_view tooFew;  // the message when words are missing
};
constexpr std::array<Grammar, 8> kGrammar{{
    {ControlCommand::status, 0, 0, {}, {}},
    {ControlCommand::projects, 0, 0, {"--all"}, {}},
    {ControlCommand::start, 1, 1, {"--description"}, "start needs a project name."},
    {ControlCommand::stop, 0, 0, {}, {}},
    {ControlCommand::resume, 0, 0, {}, {}},
    {ControlCommand::describe, 1, 2, {}, "describe needs a description. Use \"\" to remove one."},
    {ControlCommand::sessions, 0, 0, {"--since", "--until", "--project", "--limit"}, {}},
    {ControlCommand::importSessions, 1, 1, {"--dry-run", "--allow-overlaps"},
     "import needs a CSV file, or - to read standard input."},
}};

const Grammar& grammarOf(ControlCommand command) {
  return *std::find_if(kGrammar.begin(), kGrammar.end(), [&](const Grammar& g) { return g.command == command; });
}

std::optional<std::string_view> canonicalValueOption(std::string_view spelling) {
  for (const auto& [word, canonical] : kValueOptions) {
    if (word == spelling) return canonical;
  }
  return std::nullopt;
}

bool isFlag(std::string_view word) { return std::find(kFlags.begin(), kFlags.end(), word) != kFlags.end(); }

using Numbers::wholeNumber;

// The words after scanning: positional words, option values under canonical names, flags.
struct Scanned {
  std::vector<std::string> positionals;
  std::optional<std::size_t> positionalsBeforeDashDash;
  std::map<std::string, std::string, std::less<>> values;
  std::set<std::string, std::less<>> flags;
};

Scanned scan(std::span<const std::string> words) {
  Scanned scanned;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (scanned.positionalsBeforeDashDash) {
      scanned.positionals.push_back(word);
      continue;
    }
    if (word == "--") {
      scanned.positionalsBeforeDashDash = scanned.positionals.size();
      continue;
    }
    if (word.starts_with("--")) {
      if (const auto equals = word.find('='); equals != std::string::npos) {
        if (auto canonical = canonicalValueOption(std::string_view(word).substr(0, equals))) {
          scanned.values.insert_or_assign(std::string(*canonical), word.substr(equals + 1));
          continue;
        }
      }
    }
    if (auto canonical = canonicalValueOption(word)) {
      if (i + 1 >= words.size()) throw UsageError(word + " needs a value.");
      scanned.values.insert_or_assign(std::string(*canonical), words[++i]);
      continue;
    }
    if (isFlag(word)) {
      scanned.flags.insert(word == "-h" ? "--help" : word);
      continue;
    }
    if (looksLikeOption(word)) throw UsageError("Unknown option " + word + ".");
    scanned.positionals.push_back(word);
  }
  return scanned;
}

void describeWords(const Scanned& scanned, std::span<const std::string> words, ControlRequest& request) {
  if (words.size() == 1) {
    const std::string& text = words[0];
    // The command word is the first positional, so the text is the second: a "--" before it
    // leaves at most one positional word ahead of the "--".
    const bool afterDashDash = scanned.positionalsBeforeDashDash && *scanned.positionalsBeforeDashDash <= 1;
    if (!text.empty() && wholeNumber(text) && !afterDashDash) {
      throw UsageError("describe " + text + " needs the text too. To set the text " + curlyQuoted(text) + ", use “" +
                       std::string(name) + " describe -- " + text + "”.");
    }
    request.description = text;
    return;
  }
  const auto id = wholeNumber(words[0]);
  if (!id || *id <= 0) {
    throw UsageError(curlyQuoted(words[0]) + " isn't a session id. Ids are shown by “" + std::string(name) + " sessions”.");
  }
  request.sessionId = *id;
  request.description = words[1];
}

void sessionsValues(const Scanned& scanned, Instant now, const Calendar& calendar, ControlRequest& request) {
  if (auto it = scanned.values.find("--project"); it != scanned.values.end()) request.project = it->second;
  if (auto it = scanned.values.find("--since"); it != scanned.values.end()) {
    request.since = parseDate(it->second, now, calendar, false);
  }
  if (auto it = scanned.values.find("--until"); it != scanned.values.end()) {
    request.until = parseDate(it->second, now, calendar, true);
  }
  if (auto it = scanned.values.find("--limit"); it != scanned.values.end()) {
    const auto limit = wholeNumber(it->second);
    if (!limit || *limit <= 0) throw UsageError("--limit needs a whole number above 0.");
    request.limit = *limit;
  }
}

void refuseOptionsNotTaken(const Scanned& scanned, const Grammar& grammar) {
  std::vector<std::string> given;
  for (const auto& [option, value] : scanned.values) given.push_back(option);
  for (const auto& flag : scanned.flags) given.push_back(flag);
  std::sort(given.begin(), given.end());
  for (const auto& option : given) {
    if (option == "--json") continue;
    if (std::find(grammar.options.begin(), grammar.options.end(), option) != grammar.options.end()) continue;
    throw UsageError(std::string(rawValue(grammar.command)) + " doesn't take " + option + ".");
  }
}

std::string jsonError(const ControlError& error) { return encodeJSON(std::map<std::string, ControlError>{{"error", error}}); }

// The failure's text on standard error, or its JSON error object on standard output.
Output failureOutput(int status, const ControlError& error, bool json) {
  if (json) return Output{status, jsonError(error) + "\n", ""};
  return Output{status, "", "lumetra: " + error.message + "\n"};
}

template <class Result, class Print>
Output exchange(const ControlRequest& request, bool json, const Transport& transport, Print print) {
  Result result;
  try {
    result = ControlClient::send<Result>(request, transport);
  } catch (const ControlError& error) {
    const bool down = error.code == ControlError::Code::notRunning || error.code == ControlError::Code::timedOut;
    return failureOutput(down ? unavailable : failure, error, json);
  } catch (const std::exception& error) {
    return failureOutput(failure, ControlError(ControlError::Code::failed, lumetra::describe(error)), json);
  }
  int status = success;
  if constexpr (std::is_same_v<Result, ImportReport>) {
    if (!result.problems.empty() || (!result.allowOverlaps && !result.overlaps.empty())) status = failure;
  }
  return Output{status, (json ? encodeJSON(result) : print(result)) + "\n", ""};
}

Output send(const ControlRequest& request, bool json, const Transport& transport, const Formatter& formatter) {
  switch (*fromRawValue<ControlCommand>(request.command)) {
    case ControlCommand::status:
      return exchange<StatusResult>(request, json, transport, [&](const auto& r) { return formatter.status(r); });
    case ControlCommand::projects:
      return exchange<ProjectsResult>(request, json, transport, [&](const auto& r) { return formatter.projects(r); });
    case ControlCommand::start:
      return exchange<StartResult>(request, json, transport, [&](const auto& r) { return formatter.start(r); });
    case ControlCommand::stop:
      return exchange<StopResult>(request, json, transport, [&](const auto& r) { return formatter.stop(r); });
    case ControlCommand::resume:
      return exchange<SessionResult>(request, json, transport, [&](const auto& r) { return formatter.resume(r); });
    case ControlCommand::describe:
      return exchange<SessionResult>(request, json, transport, [&](const auto& r) { return formatter.describe(r); });
    case ControlCommand::sessions:
      return exchange<SessionsResult>(request, json, transport, [&](const auto& r) { return formatter.sessions(r); });
    case ControlCommand::importSessions:
      return exchange<ImportReport>(request, json, transport,
                                    [&](const auto& r) { return formatter.importReport(r); });
  }
  return Output{failure, "", "lumetra: unknown command\n"};
}

}  // namespace

const std::string& usage() {
  static const std::string text = [] {
    const std::vector<std::string> lines{
        "Usage: lumetra <command> [options]",
        "",
        "Commands:",
        "  status                       What's being tracked, today's totals, and when nothing is",
        "                               running, the last session that resume would resume",
        "  projects [--all]             Active projects (--all adds archived ones)",
        "  start PROJECT [-d TEXT]      Start tracking PROJECT, with an optional description.",
        "                               Switches from any other running session.",
        "  stop                         Stop tracking",
        "  resume                       Start a new session on the last tracked session's project",
        "                               with its description, if it ended less than " + ResumeWindow::text() +
            " ago.",
        "                               Fails while something is running; use start to switch.",
        "  describe [SESSION_ID] TEXT   Set the description of the running session, or of",
        "                               session SESSION_ID. An empty TEXT (\"\") removes it.",
        "  sessions [--since DATE] [--until DATE] [--project NAME] [--limit N]",
        "                               Sessions, oldest first: the last 20 by default, or",
        "                               all from DATE with --since. --until is inclusive.",
        "                               DATE is YYYY-MM-DD, today, yesterday or an ISO 8601 time.",
        "  import FILE [--dry-run] [--allow-overlaps]",
        "                               Import sessions from a CSV file (- reads standard input),",
        "                               all or nothing. --dry-run shows what would be added.",
        "                               Rows that overlap recorded time are refused unless",
        "                               --allow-overlaps is given.",
        "  mcp                          Serve the same commands to an MCP client, such as the",
        "                               Claude desktop app, over stdin and stdout",
        "  help                         Show this help",
        "",
        "Options:",
        "  --json                       Print the result as JSON",
        "",
        "Lumetra must be running. Exit status: 0 on success, 1 if Lumetra reported an",
        "error, an import was refused or its file couldn't be read, 2 for bad usage, 3 if",
        "Lumetra isn't running or didn't answer.",
    };
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) joined += (i > 0 ? "\n" : "") + lines[i];
    return joined;
  }();
  return text;
}

std::string listedChoices(const std::vector<std::string_view>& choices) {
  std::string text;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == choices.size() ? " or " : ", ") + std::string(choices[i]);
  }
  return text;
}

bool looksLikeOption(std::string_view word) {
  const std::string_view head = word.substr(0, word.find('='));
  if (head.starts_with("--")) {
    const std::u32string rest = UnicodeText::scalars(head.substr(2));
    if (rest.empty() || !UnicodeText::isLetter(rest.front())) return false;
    return std::all_of(rest.begin(), rest.end(),
                       [](char32_t c) { return c == U'-' || UnicodeText::isLetterOrNumber(c); });
  }
  const std::u32string scalars = UnicodeText::scalars(head);
  return scalars.size() == 2 && scalars[0] == U'-' && UnicodeText::isLetter(scalars[1]);
}

void expect(std::span<const std::string> positionals, std::pair<std::size_t, std::size_t> allowed,
            ControlCommand command) {
  if (positionals.size() < allowed.first) throw UsageError(std::string(grammarOf(command).tooFew));
  if (positionals.size() > allowed.second) {
    throw UsageError("Too many arguments for " + std::string(rawValue(command)) + ". Put text with spaces in quotes.");
  }
}

Instant parseDate(std::string_view text, Instant now, const Calendar& calendar, bool endOfDay) {
  if (const auto date = DateArgument::parse(text, now, calendar, endOfDay)) return *date;
  throw UsageError(curlyQuoted(text) + " isn't a date. Use YYYY-MM-DD, today or yesterday.");
}

Invocation parse(std::span<const std::string> arguments, Instant now, const Calendar& calendar) {
  const Scanned scanned = scan(arguments);
  if (scanned.positionals.empty() || scanned.flags.contains("--help") || scanned.positionals.front() == "help") {
    return ShowHelp{};
  }
  const std::string& word = scanned.positionals.front();
  if (word == "mcp") throw UsageError("mcp takes no options or arguments.");
  const auto command = fromRawValue<ControlCommand>(word);
  if (!command) throw UsageError("Unknown command " + curlyQuoted(word) + ".");

  const Grammar& grammar = grammarOf(*command);
  const std::span<const std::string> words = std::span(scanned.positionals).subspan(1);
  expect(words, {grammar.minWords, grammar.maxWords}, *command);

  ControlRequest request(*command);
  switch (*command) {
    case ControlCommand::describe:
      describeWords(scanned, words, request);
      break;
    case ControlCommand::sessions:
      sessionsValues(scanned, now, calendar, request);
      break;
    default:
      break;
  }
  refuseOptionsNotTaken(scanned, grammar);

  const bool json = scanned.flags.contains("--json");
  switch (*command) {
    case ControlCommand::projects:
      if (scanned.flags.contains("--all")) request.includeArchived = true;
      break;
    case ControlCommand::start:
      request.project = words[0];
      if (auto it = scanned.values.find("--description"); it != scanned.values.end()) request.description = it->second;
      break;
    case ControlCommand::importSessions:
      if (scanned.flags.contains("--dry-run")) request.dryRun = true;
      if (scanned.flags.contains("--allow-overlaps")) request.allowOverlaps = true;
      return ImportFile{words[0], request, json};
    default:
      break;
  }
  return SendRequest{request, json};
}

Output run(std::span<const std::string> arguments, const Transport& transport, Instant now, const Calendar& calendar,
           const FileReader& reader) {
  Invocation invocation;
  try {
    invocation = parse(arguments, now, calendar);
  } catch (const UsageError& error) {
    return Output{usageError, "",
                  "lumetra: " + error.message + "\nRun “" + std::string(name) + " help” for usage.\n"};
  } catch (const std::exception& error) {
    return Output{usageError, "", "lumetra: " + lumetra::describe(error) + "\n"};
  }

  if (std::holds_alternative<ShowHelp>(invocation)) return Output{success, usage() + "\n", ""};

  ControlRequest request;
  bool json = false;
  if (auto* file = std::get_if<ImportFile>(&invocation)) {
    json = file->json;
    request = file->request;
    try {
      request.csv = importText(file->path, reader);
    } catch (const std::exception& error) {
      return failureOutput(failure, ControlError(ControlError::Code::failed, lumetra::describe(error)), json);
    }
  } else {
    const auto& send = std::get<SendRequest>(invocation);
    request = send.request;
    json = send.json;
  }

  const Formatter formatter(now, calendar);
  return send(request, json, transport, formatter);
}

}  // namespace lumetra::CommandLineTool
