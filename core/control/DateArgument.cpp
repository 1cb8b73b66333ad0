#include "control/DateArgument.hpp"

#include <cstdint>
#include <string>
#include <vector>

#include "control/ControlProtocol.hpp"
#include "platform/Numbers.hpp"
#include "platform/UnicodeText.hpp"

namespace lumetra::DateArgument {

std::optional<Instant> parse(std::string_view text, Instant now, const Calendar& calendar, bool endOfDay) {
  const std::string lower = UnicodeText::asciiLowercased(text);

  std::optional<Instant> day;
  if (lower == "today") {
    day = calendar.startOfDay(now);
  } else if (lower == "yesterday") {
    day = calendar.addingDays(calendar.startOfDay(now), -1);
  } else {
    std::vector<std::int64_t> numbers;
    std::size_t start = 0;
    while (start <= text.size()) {
      const auto dash = text.find('-', start);
      const auto piece = text.substr(start, dash == std::string_view::npos ? std::string_view::npos : dash - start);
      if (!piece.empty()) {
        if (auto number = Numbers::wholeNumber(piece)) numbers.push_back(*number);
      }
      if (dash == std::string_view::npos) break;
      start = dash + 1;
    }
    if (numbers.size() == 3 && UnicodeText::graphemeCount(text) == 10) {
      day = calendar.startOfDay(numbers[0], numbers[1], numbers[2]);
      if (!day) return std::nullopt;
    } else {
      return ControlProtocol::parseTimestamp(text);
    }
  }
  if (!endOfDay) return day;
  return calendar.startOfDay(calendar.addingDays(*day, 1));
}

}  // namespace lumetra::DateArgument
