#include "cli/CommandLineTool.hpp"

#include <algorithm>
#include <vector>

#include "cli/Commands.hpp"
#include "control/DateArgument.hpp"
#include "platform/UnicodeText.hpp"

namespace lumetra::CommandLineTool {

const std::string& usage() { return Commands::usage(Commands::Program::tool); }

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

Instant parseDate(std::string_view text, Instant now, const Calendar& calendar, bool endOfDay) {
  if (const auto date = DateArgument::parse(text, now, calendar, endOfDay)) return *date;
  throw UsageError(curlyQuoted(text) + " isn't a date. Use YYYY-MM-DD, today or yesterday.");
}

Invocation parse(std::span<const std::string> arguments, Instant now, const Calendar& calendar) {
  const Commands::Parsed parsed = Commands::parse(Commands::Program::tool, arguments, {now, calendar});
  if (!parsed.row) return ShowHelp{};
  const bool json = parsed.arguments.has("--json");
  if (parsed.row->readsFile) return ImportFile{parsed.arguments.positionals()[1], *parsed.control, json};
  return SendRequest{*parsed.control, json};
}

Output run(std::span<const std::string> arguments, const Transport& transport, Instant now, const Calendar& calendar,
           const FileReader& reader) {
  return Commands::run({Commands::Program::tool, transport, {}, {}}, arguments, {now, calendar, reader});
}

}  // namespace lumetra::CommandLineTool
