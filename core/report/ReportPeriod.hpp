#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Calendar.hpp"
#include "platform/Instant.hpp"

namespace lumetra {

// The span a report covers, [from, to), and the name it was asked by. All Time has no bounds.
struct ReportPeriod {
  std::string label;
  std::optional<Instant> from, to;

  // The period a typed range names around `now`, or nothing when it names none: the export's
  // ranges in any case, with "-" or "_" for spaces ("this-week"), "all", "yesterday", "this
  // year", "last year", a day "YYYY-MM-DD", or days "FROM..TO" (TO included). Days lie between
  // the years 1900 and 9998, so that every time in an answer has four digits to its year.
  [[nodiscard]] static std::optional<ReportPeriod> parse(std::string_view range, Instant now, const Calendar& calendar);
  // Whether the range is days FROM..TO with TO before FROM.
  [[nodiscard]] static bool reversed(std::string_view range);
};

// The calendar day that holds the instant, as "2026-12-01".
[[nodiscard]] std::string dayLabel(Instant instant, const Calendar& calendar);

enum class ReportGrouping { project, day, week };

// One column of a report: the whole period, one calendar day, or one week as This Week has it
// (from the locale's first day), clipped to the period. Labels: the period's label, "2026-12-01",
// "Week of 2026-11-30".
struct ReportBucket {
  std::string label;
  Instant from, to;

  // The buckets of [from, to) in the calendar's zone, daylight-saving changes included.
  [[nodiscard]] static std::vector<ReportBucket> of(ReportGrouping grouping, const std::string& label, Instant from,
                                                    Instant to, const Calendar& calendar);
  // How many buckets of() would make, without making them: by the calendar's dates, so a day a
  // zone skipped (Samoa's 2011-12-30) counts.
  [[nodiscard]] static std::size_t count(ReportGrouping grouping, Instant from, Instant to, const Calendar& calendar);
};

}  // namespace lumetra
