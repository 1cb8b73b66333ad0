#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Calendar.hpp"
#include "platform/Instant.hpp"
#include "store/Project.hpp"
#include "store/WorkSession.hpp"

namespace lumetra::CSVExporter {

// The columns, in order; also the importer's list of known columns.
inline constexpr std::array<std::string_view, 10> header{"Project", "Date",  "Start", "End",   "Duration",
                                                         "Hours",   "Entry", "Description", "Times", "Source ID"};

// The whole CSV file: the header and one line per session, oldest first, every line ending in
// CR LF; times in `timeZone`'s zone. A running session ends at `now`. Never fails.
[[nodiscard]] std::string csv(const std::vector<WorkSession>& sessions, const std::map<std::int64_t, Project>& projects,
                              const std::map<std::int64_t, std::string>& sourceIds, Instant now,
                              const Calendar& timeZone);

// "H:MM:SS", hours unbounded; rounded to whole seconds, negative as 0.
[[nodiscard]] std::string formatDuration(double seconds);

// Where a session's times come from: "manual", "imported", "edited" or "tracked".
[[nodiscard]] std::string entry(const WorkSession& session);

// A Start or End cell: "yyyy-MM-dd HH:mm:ss" local time, cut to the second; in an hour that
// occurs twice, the later occurrence is written in ISO 8601 with its offset instead.
[[nodiscard]] std::string timestamp(Instant instant, const Calendar& timeZone);

// A value as a CSV field: quoted (inner quotes doubled) when it holds a comma, a quote, CR or LF.
[[nodiscard]] std::string field(std::string_view value);

// The value with an apostrophe in front when a spreadsheet would read it as a formula.
[[nodiscard]] std::string formulaGuarded(std::string_view value);

}  // namespace lumetra::CSVExporter
