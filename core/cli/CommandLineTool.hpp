#pragma once

#include <cstddef>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "control/ControlClient.hpp"
#include "control/ControlCommand.hpp"
#include "control/ControlRequest.hpp"
#include "control/WireCoding.hpp"
#include "platform/Calendar.hpp"
#include "platform/Error.hpp"
#include "platform/Instant.hpp"

namespace lumetra::CommandLineTool {

// The tool's name, as messages show it.
inline constexpr std::string_view name = "lumetra";

// Exit statuses.
inline constexpr int success = 0;      // the command succeeded
inline constexpr int failure = 1;      // refused, an import refused, or its file unreadable
inline constexpr int usageError = 2;   // the arguments were wrong
inline constexpr int unavailable = 3;  // Lumetra isn't running or didn't answer

// The 33-line help text, without a final newline. Built on first use from the command table.
[[nodiscard]] const std::string& usage();

// What the process prints and how it exits. The front end never writes to the streams itself.
struct Output {
  int status = 0;
  std::string out;  // standard output
  std::string err;  // standard error
  bool operator==(const Output&) const = default;
};
inline void PrintTo(const Output& o, std::ostream* os) {
  *os << "Output{status " << o.status << ", out \"" << o.out << "\", err \"" << o.err << "\"}";
}

// A problem with the arguments (or, for import, with the file); `message` is the sentence.
class UsageError final : public Error {
 public:
  explicit UsageError(std::string text) : message(std::move(text)) {}
  [[nodiscard]] std::string description() const override { return message; }
  bool operator==(const UsageError& other) const { return message == other.message; }
  std::string message;
};

// What the words ask for.
struct SendRequest {  // send the request and print its result
  ControlRequest request;
  bool json = false;
  bool operator==(const SendRequest&) const = default;
};
struct ImportFile {  // read the file ("-" is standard input) into the request's csv, then send
  std::string path;
  ControlRequest request;
  bool json = false;
  bool operator==(const ImportFile&) const = default;
};
struct ShowHelp {
  bool operator==(const ShowHelp&) const = default;
};
using Invocation = std::variant<SendRequest, ImportFile, ShowHelp>;

// Reads a whole file, or standard input for "-". Throws std::system_error for file-system
// failures (its code is the errno).
using FileReader = std::function<std::string(const std::string& path)>;
[[nodiscard]] std::string readFile(const std::string& path);

// The file's text for an import: read, checked to be UTF-8 and at most importSizeLimit bytes.
// Throws UsageError with the sentence to show.
inline constexpr std::size_t importSizeLimit = 8 * 1024 * 1024;
[[nodiscard]] std::string importText(const std::string& path, const FileReader& reader = readFile);

// Parses the words, sends at most one request through `transport` and formats the outcome.
// Never throws: every failure becomes an Output.
[[nodiscard]] Output run(std::span<const std::string> arguments, const Transport& transport, Instant now,
                         const Calendar& calendar, const FileReader& reader = readFile);

// The words as one invocation. Throws UsageError.
[[nodiscard]] Invocation parse(std::span<const std::string> arguments, Instant now, const Calendar& calendar);

// DateArgument::parse, refusing what isn't a date with UsageError.
[[nodiscard]] Instant parseDate(std::string_view text, Instant now, const Calendar& calendar, bool endOfDay);

// Whether a word is shaped like an option: "--" and a letter, then letters, digits and "-"; or
// "-" and one letter. Anything after the first "=" is ignored.
[[nodiscard]] bool looksLikeOption(std::string_view word);

// Choices as a sentence lists them: "a", "a or b", "a, b or c".
[[nodiscard]] std::string listedChoices(const std::vector<std::string_view>& choices);

// The --json printer: the wire form, pretty-printed with `"key" : value` and two-space indents.
template <class T>
std::string encodeJSON(const T& value) {
  return WireCoding::prettyText(value);
}

}  // namespace lumetra::CommandLineTool
