#include "report/ReportPeriod.hpp"

#include <charconv>
#include <chrono>
#include <cstdio>

#include "csv/ExportRange.hpp"
#include "platform/UnicodeText.hpp"

namespace lumetra {

namespace {

// "this-week", "This_Week", "  this week " all read "this week".
std::string spelled(std::string_view text) {
  std::string out;
  for (const char c : UnicodeText::asciiLowercased(text)) {
    const char letter = c == '-' || c == '_' ? ' ' : c;
    if (letter == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += letter;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::optional<Instant> dayStart(std::string_view text, const Calendar& calendar) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  int year = 0, month = 0, day = 0;
  const auto number = [&](std::size_t at, std::size_t count, int& value) {
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + at + count, value);
    return error == std::errc() && end == text.data() + at + count;
  };
  if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day)) return std::nullopt;
  if (year < 1900 || year > 9998) return std::nullopt;
  return calendar.startOfDay(year, month, day);
}

}  // namespace

std::string dayLabel(Instant instant, const Calendar& calendar) {
  const auto p = calendar.parts(instant);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.year, p.month, p.day);
  return text;
}

std::optional<ReportPeriod> ReportPeriod::parse(std::string_view range, Instant now, const Calendar& calendar) {
  const std::string words = spelled(range);
  if (words == "all" || words == "all time") return ReportPeriod{"All Time", std::nullopt, std::nullopt};
  for (const auto& [value, label] : kExportRangeLabels) {
    if (words == spelled(label)) {
      const ExportBounds b = bounds(value, now, calendar);
      return ReportPeriod{std::string(label), b.from, b.to};
    }
  }
  if (words == "yesterday") {
    const Instant today = calendar.startOfDay(now);
    return ReportPeriod{"Yesterday", calendar.startOfDay(calendar.addingDays(today, -1)), today};
  }
  if (words == "this year" || words == "last year") {
    const int year = calendar.parts(now).year - (words == "last year" ? 1 : 0);
    return ReportPeriod{words == "this year" ? "This Year" : "Last Year", calendar.startOfDay(year, 1, 1),
                        calendar.startOfDay(year + 1, 1, 1)};
  }
  const std::string days = UnicodeText::trimmingWhiteSpace(range);
  const auto dots = days.find("..");
  const std::string first = days.substr(0, dots), last = dots == std::string::npos ? first : days.substr(dots + 2);
  const auto from = dayStart(first, calendar), lastDay = dayStart(last, calendar);
  if (!from || !lastDay || *lastDay < *from) return std::nullopt;
  return ReportPeriod{first == last ? first : first + " to " + last, *from,
                      calendar.startOfDay(calendar.addingDays(*lastDay, 1))};
}

bool ReportPeriod::reversed(std::string_view range) {
  const std::string days = UnicodeText::trimmingWhiteSpace(range);
  const auto dots = days.find("..");
  if (dots == std::string::npos) return false;
  const Calendar utc("UTC");
  const auto from = dayStart(days.substr(0, dots), utc), to = dayStart(days.substr(dots + 2), utc);
  return from && to && *to < *from;
}

std::size_t ReportBucket::count(ReportGrouping grouping, Instant from, Instant to, const Calendar& calendar) {
  if (grouping == ReportGrouping::project || !(to > from)) return 1;
  using namespace std::chrono;
  const auto dayOf = [&](Instant instant) {
    const auto p = calendar.parts(instant);
    return sys_days{year(p.year) / month(static_cast<unsigned>(p.month)) / static_cast<unsigned>(p.day)};
  };
  const sys_days last = dayOf(to - 1.0);
  if (grouping == ReportGrouping::day) return static_cast<std::size_t>((last - dayOf(from)).count() + 1);
  // Weeks as This Week has them: from the locale's first day.
  const auto days = (last - dayOf(calendar.startOfWeek(from))).count() + 1;
  return static_cast<std::size_t>((days + 6) / 7);
}

std::vector<ReportBucket> ReportBucket::of(ReportGrouping grouping, const std::string& label, Instant from, Instant to,
                                           const Calendar& calendar) {
  if (grouping == ReportGrouping::project) return {ReportBucket{label, from, to}};
  std::vector<ReportBucket> buckets;
  Instant start = grouping == ReportGrouping::day ? calendar.startOfDay(from) : calendar.startOfWeek(from);
  while (start < to) {
    ReportBucket bucket;
    Instant next;
    if (grouping == ReportGrouping::day) {
      bucket.label = dayLabel(start, calendar);
      next = calendar.startOfDay(calendar.addingDays(start, 1));
    } else {
      // Named by its first day, as the locale starts weeks (This Week's weeks).
      bucket.label = "Week of " + dayLabel(start, calendar);
      next = calendar.startOfWeek(calendar.addingWeeks(start, 1));
    }
    bucket.from = std::max(start, from);
    bucket.to = std::min(next, to);
    buckets.push_back(std::move(bucket));
    start = next;
  }
  return buckets;
}

}  // namespace lumetra
