#pragma once

#include <array>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "cli/Arguments.hpp"
#include "cli/CommandLineTool.hpp"
#include "cli/Formatter.hpp"
#include "control/ControlClient.hpp"
#include "control/ControlRequest.hpp"
#include "control/HostAPI.hpp"
#include "control/WireCoding.hpp"
#include "platform/Calendar.hpp"
#include "platform/Instant.hpp"

// Every command of both programs, one row each: its words, arity, options, help and manual
// lines, how its request is built, where it goes and how its result prints. The tool's parser,
// lumetra-app's front end, their help texts, the host's dispatch of its actions, the man
// pages' command lists and the shell completions all come from these rows.
namespace lumetra::Commands {

using CommandLineTool::Output;

// lumetra-app's socket in the data directory, beside the control socket: the host actions' own.
inline constexpr std::string_view appSocketName = "lumetra-menu.sock";
// A page in the data directory, private to its user, that forwards to the running window with
// its token: a browser is handed its path, so that the token never shows in a process list.
inline constexpr std::string_view windowPageName = "lumetra-window.html";

// The programs that take commands, as bits.
enum class Program : unsigned char { tool = 1, app = 2 };
inline constexpr unsigned char both = 3;

// Where a command is carried out.
enum class Channel : unsigned char {
  control,  // a control request on the host's control socket: the tool's commands
  host,     // a host action on lumetra-app's socket (or the window's)
  local,    // by the program itself, without a host: install, convert
  entry,    // by the program's entry point, before any parsing: mcp
  help,
};

// The commands a program carries out itself.
enum class Local : unsigned char { none, convert, installTool, uninstallTool, installClaude, installMCP, installService, uninstallService };

// The help's sections, in the order they are printed.
enum class Section : unsigned char { commands, projects, sessions, settings, window, exports, reports, sync, movingIn, integration, help };

// What building a request and telling its result may use besides the words.
struct Context {
  Instant now;
  const Calendar& calendar;
  CommandLineTool::FileReader readFile = CommandLineTool::readFile;
  std::function<void()> openWindow;  // after open, where there is a display
  // Asks a person the question on a terminal and gives their answer; absent without a terminal.
  std::function<std::optional<std::string>(const std::string& question)> ask;
};

// A host action's typed calls, made from its request and result types.
struct HostCalls {
  // The request built from the words, encoded with the action's name. Throws UsageError.
  std::string (*request)(const Arguments& arguments, const Context& context, std::string_view wire);
  // The output for the reply: its result's sentence, or JSON with --json, or what the action
  // does with it. Throws the reply's ControlError.
  Output (*told)(const std::string& reply, const Arguments& arguments, const Context& context);
  // On the host: the request decoded and carried out, and the reply {"ok":true,"result":…}
  // encoded, with the sentence as "text" when `formatter` is given. Throws the action's refusals.
  std::string (*serve)(HostAPI& host, const JSON& request, Instant now, const CommandLineTool::Formatter* formatter);
};

struct Row {
  std::string_view words;  // "session split"; empty for an action only the window asks for
  unsigned char programs = 0;
  Section section = Section::commands;
  Channel channel = Channel::control;
  std::string_view wire;  // the control command, or the host action
  unsigned char least = 0, most = 0;  // positional words after the command's own
  std::array<std::string_view, 5> options{};  // canonical names, besides --json
  std::string_view needs;       // what is missing: "start needs " + needs + "."
  std::string_view wrongCount;  // said instead, for too few and too many words alike
  bool bare = false;            // takes nothing at all: "X takes no options or arguments."
  std::string_view synopsis;
  std::array<std::string_view, 4> summary{};  // the help's lines
  std::string_view manual;                    // the man page's text under the synopsis
  std::string_view example;                   // the words after the program's name
  std::string_view brief;                     // a few words, for shell completion
  // What each positional word completes to, for the shells: "@project" (the host's project
  // names), "@file", or choices split by "|".
  std::array<std::string_view, 2> completes{};
  ControlRequest (*control)(const Arguments& arguments, const Context& context) = nullptr;
  bool readsFile = false;  // the first word names a file read into the request's csv
  bool reads = false;      // a host action that only reads: carried out beside the owner thread
  bool asks = false;       // deletes: asks on a terminal first, unless --yes
  const HostCalls* host = nullptr;
  Local local = Local::none;

  [[nodiscard]] bool in(Program program) const { return (programs & static_cast<unsigned char>(program)) != 0; }
  [[nodiscard]] bool takes(std::string_view option) const;
};

[[nodiscard]] std::span<const Row> rows();
// The row whose words begin the positional words, for the program; nothing when none does.
[[nodiscard]] const Row* find(Program program, std::span<const std::string> positionals);
// The row of a host action by its wire name.
[[nodiscard]] const Row* action(std::string_view wire);
// The options a program knows: those its rows take, --json and --help.
[[nodiscard]] std::span<const Arguments::Option> options(Program program);

// Whether a host action's request line names an action that only reads; false for one that
// can't be read.
[[nodiscard]] bool readsOnly(const std::string& request);

// On the host: one host action's request line decoded, carried out by `host` and answered,
// {"ok":true,"result":…}, with the sentence as "text" when `formatter` is given. Throws
// ControlError badRequest for a request that can't be read or names no action, and the action's
// own refusals.
[[nodiscard]] std::string serve(HostAPI& host, const std::string& request, Instant now,
                                const CommandLineTool::Formatter* formatter = nullptr);

// The program's help text, without a final newline.
[[nodiscard]] const std::string& usage(Program program);

// The words parsed with a program's rows: the row (nothing: show the help), the scanned words,
// and the request a control row or a host action sends.
struct Parsed {
  const Row* row = nullptr;
  Arguments arguments;
  std::optional<ControlRequest> control;
  std::string host;  // encoded, with the action's name
};
// Throws UsageError; an import's file is read later, by run().
[[nodiscard]] Parsed parse(Program program, std::span<const std::string> words, const Context& context);

// A program's commands and how it reaches the host.
struct Front {
  Program program;
  Transport control;  // the control socket
  Transport host;     // lumetra-app's socket
  // The commands the program carries out itself, by their row.
  std::function<Output(const Row& row, const Arguments& arguments)> local;
};

// Parses the words with the program's rows, carries out the command and says how it went, in
// the tool's style: 0 success, 1 refused, 2 bad usage, 3 not running. Never throws.
[[nodiscard]] Output run(const Front& front, std::span<const std::string> arguments, const Context& context);

// The output for a failure: its sentence after "<program>: " on standard error, or its JSON
// error object on standard output; 3 when the host isn't running or didn't answer, else 1.
[[nodiscard]] Output failure(Program program, const ControlError& error, bool json);

// Writes the output to the standard streams and returns the exit status: the output's own, or 1
// when standard output couldn't take it all (a full disk, a reader that has gone), said on
// standard error.
[[nodiscard]] int emit(Program program, const Output& output);

// The program's name, as messages show it.
[[nodiscard]] std::string_view name(Program program);

}  // namespace lumetra::Commands
