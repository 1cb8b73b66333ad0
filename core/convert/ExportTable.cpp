#include "convert/ExportTable.hpp"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>

#include "control/ControlProtocol.hpp"
#include "csv/CSVRecords.hpp"
#include "platform/DateFormat.hpp"
#include "platform/Error.hpp"
#include "platform/UnicodeText.hpp"

namespace lumetra::ExportTable {

namespace {

struct Day {
  int year = 0, month = 0, day = 0;
};
struct Clock {
  int hour = 0, minute = 0, second = 0;
};

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Digits start at `at`: from_chars would take a sign too ("09:-5").
bool digitAt(std::string_view text, std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; }

// The numbers of a text made of digit groups and one kind of separator: "03/04/2026" → 3, 4, 2026.
std::optional<std::array<int, 3>> threeNumbers(std::string_view text, char& separator) {
  std::array<int, 3> numbers{};
  std::size_t at = 0;
  separator = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    if (i > 0) {
      if (at >= text.size() || (separator && text[at] != separator) || std::string_view("/-.").find(text[at]) == std::string_view::npos) {
        return std::nullopt;
      }
      separator = text[at++];
    }
    if (!digitAt(text, at)) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), numbers[i]);
    if (error != std::errc() || end == text.data() + at || end - (text.data() + at) > 4) return std::nullopt;
    at = static_cast<std::size_t>(end - text.data());
  }
  if (at != text.size()) return std::nullopt;
  return numbers;
}

// How a file writes day and month when the year comes last; decided once for the whole file.
enum class Order { unknown, dayFirst, monthFirst };

std::optional<Day> day(std::string_view text, Order order) {
  char separator = 0;
  const auto numbers = threeNumbers(trimmed(text), separator);
  if (!numbers) return std::nullopt;
  Day d;
  if ((*numbers)[0] >= 1000) {
    d = {(*numbers)[0], (*numbers)[1], (*numbers)[2]};
  } else if ((*numbers)[2] >= 1000) {
    const bool dayFirst = order == Order::dayFirst || (order == Order::unknown && separator != '/');
    d = dayFirst ? Day{(*numbers)[2], (*numbers)[1], (*numbers)[0]} : Day{(*numbers)[2], (*numbers)[0], (*numbers)[1]};
  } else {
    return std::nullopt;
  }
  // Checked before std::chrono sees them: its month and day keep only a byte.
  if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31) return std::nullopt;
  const std::chrono::year_month_day check{std::chrono::year(d.year), std::chrono::month(static_cast<unsigned>(d.month)),
                                          std::chrono::day(static_cast<unsigned>(d.day))};
  if (!check.ok()) return std::nullopt;
  return d;
}

// A duration written "H:MM:SS" (hours may run past 24), in seconds.
std::optional<int> duration(std::string_view text) {
  text = trimmed(text);
  std::array<int, 3> parts{};
  std::size_t at = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    if (i > 0 && (at >= text.size() || text[at++] != ':')) return std::nullopt;
    if (!digitAt(text, at)) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), parts[i]);
    const auto digits = end - (text.data() + at);
    if (error != std::errc() || digits == 0 || (i > 0 && digits != 2)) return std::nullopt;
    at = static_cast<std::size_t>(end - text.data());
  }
  if (at != text.size() || parts[1] > 59 || parts[2] > 59 || parts[0] > 100'000) return std::nullopt;
  return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

std::optional<Clock> clock(std::string_view text) {
  text = trimmed(text);
  int meridiem = 0;  // 1 for AM, 2 for PM
  if (text.size() > 2) {
    const std::string suffix = UnicodeText::asciiLowercased(text.substr(text.size() - 2));
    if (suffix == "am" || suffix == "pm") {
      meridiem = suffix == "am" ? 1 : 2;
      text = trimmed(text.substr(0, text.size() - 2));
    }
  }
  Clock c;
  int* parts[3] = {&c.hour, &c.minute, &c.second};
  std::size_t at = 0;
  for (std::size_t i = 0; i < 3 && at <= text.size(); ++i) {
    if (i > 0) {
      if (at == text.size()) break;  // seconds may be left out
      if (text[at] != ':') return std::nullopt;
      ++at;
    }
    if (!digitAt(text, at)) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), *parts[i]);
    const auto digits = end - (text.data() + at);
    if (error != std::errc() || digits == 0 || digits > 2 || (i > 0 && digits != 2)) return std::nullopt;
    at = static_cast<std::size_t>(end - text.data());
    if (i == 1 && at == text.size()) break;
  }
  if (at != text.size() || c.minute > 59 || c.second > 59) return std::nullopt;
  if (meridiem) {
    if (c.hour < 1 || c.hour > 12) return std::nullopt;
    c.hour = c.hour % 12 + (meridiem == 2 ? 12 : 0);
  } else if (c.hour > 23) {
    return std::nullopt;
  }
  return c;
}

std::string localTime(const Day& d, const Clock& c) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, c.hour, c.minute, c.second);
  return text;
}

// The start and end as ISO 8601 times with their offsets, when the end is the start plus the
// duration and lies in the hour the clocks went back to.
std::optional<std::pair<std::string, std::string>> acrossClockChange(const std::string& start, const std::string& end,
                                                                     std::optional<int> seconds, const Calendar& calendar) {
  if (!seconds || *seconds <= 0) return std::nullopt;
  const auto parts = [](const std::string& text) {
    Calendar::DateParts p;
    std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &p.year, &p.month, &p.day, &p.hour, &p.minute, &p.second);
    return p;
  };
  const auto from = calendar.instant(parts(start));
  if (!from) return std::nullopt;
  const Instant to = *from + *seconds;
  if (calendar.parts(to) != parts(end)) return std::nullopt;
  return std::pair{ControlProtocol::formatTimestamp(*from, calendar), ControlProtocol::formatTimestamp(to, calendar)};
}

std::string_view title(Converter::Format format) {
  return format == Converter::Format::toggl ? "Toggl Track" : "Clockify";
}

// The separator a spreadsheet used: the one of ",", ";" and tab that occurs most often outside
// quotes in the first line.
char delimiterOf(std::string_view text) {
  std::size_t commas = 0, semicolons = 0, tabs = 0;
  bool quoted = false;
  for (const char c : text.substr(0, text.find('\n'))) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    commas += c == ',';
    semicolons += c == ';';
    tabs += c == '\t';
  }
  if (tabs > commas && tabs >= semicolons) return '\t';
  if (semicolons > commas) return ';';
  return ',';
}

// A duration as a spreadsheet writes it: H:MM, H:MM:SS or hours with a decimal point or comma.
std::optional<int> spreadsheetDuration(std::string_view text) {
  text = trimmed(text);
  if (text.find(':') != std::string_view::npos) {
    if (std::count(text.begin(), text.end(), ':') == 1) return duration(std::string(text) + ":00");
    return duration(text);
  }
  std::string decimal(text);
  std::replace(decimal.begin(), decimal.end(), ',', '.');
  double hours = 0;
  const auto [end, error] = std::from_chars(decimal.data(), decimal.data() + decimal.size(), hours);
  if (decimal.empty() || !digitAt(decimal, 0) || error != std::errc() || end != decimal.data() + decimal.size() ||
      hours <= 0 || hours > 10'000) {
    return std::nullopt;
  }
  return static_cast<int>(hours * 3600 + 0.5);
}

// A table a spreadsheet saved: any of the common headings, in any case; see read().
ReadExport spreadsheet(std::string_view text, const Calendar& calendar) {
  ReadExport result;
  auto records = CSVRecords::read(text, result.problems, delimiterOf(text));
  std::erase_if(records, [](const CSVRecords::Record& record) {
    return std::all_of(record.fields.begin(), record.fields.end(), [](const auto& f) { return trimmed(f).empty(); });
  });
  if (records.empty()) {
    result.problems.push_back({1, "The file is empty."});
    result.unreadable = true;
    return result;
  }
  const auto& header = records.front();
  std::map<std::string, std::size_t> columns;
  for (std::size_t c = 0; c < header.fields.size(); ++c) {
    columns.emplace(UnicodeText::asciiLowercased(trimmed(header.fields[c])), c);
  }
  std::vector<std::size_t> used;
  const auto column = [&](std::initializer_list<std::string_view> names) -> std::optional<std::size_t> {
    for (const auto name : names) {
      if (const auto it = columns.find(std::string(name)); it != columns.end()) {
        used.push_back(it->second);
        return it->second;
      }
    }
    return std::nullopt;
  };
  const auto project = column({"project"}), client = column({"client"}), task = column({"task"}),
             start = column({"start", "begin", "from", "start time"}), end = column({"end", "stop", "to", "end time"}),
             date = column({"date", "day"}), length = column({"duration", "hours"}),
             description = column({"description", "notes", "note", "comment", "comments"});
  if (!start || (!end && !length)) {
    result.problems.push_back({header.line, "There's no Start column, or neither an End nor a Duration column. A "
                                            "spreadsheet needs Start (or Begin, From), and End (or Stop, To) or "
                                            "Duration; Date and Project are read too."});
    result.unreadable = true;
    return result;
  }
  std::vector<std::string_view> ignored;
  for (std::size_t c = 0; c < header.fields.size(); ++c) {
    if (std::find(used.begin(), used.end(), c) == used.end() && !trimmed(header.fields[c]).empty()) {
      ignored.push_back(trimmed(header.fields[c]));
    }
  }
  if (!ignored.empty()) {
    std::string names;
    for (std::size_t i = 0; i < ignored.size(); ++i) {
      names += (i == 0 ? "" : i + 1 == ignored.size() ? " and " : ", ") + curlyQuoted(ignored[i]);
    }
    result.notes.push_back("Left out the column" + std::string(ignored.size() == 1 ? " " : "s ") + names +
                           ": Lumetra has no place for " + (ignored.size() == 1 ? "it." : "them."));
  }
  // Day and month order, as for the trackers' reports.
  bool dayFirstSeen = false, monthFirstSeen = false;
  for (std::size_t r = 1; r < records.size(); ++r) {
    for (const auto c : {date, start, end}) {
      if (!c || *c >= records[r].fields.size()) continue;
      const std::string_view cell = trimmed(records[r].fields[*c]);
      char separator = 0;
      if (const auto n = threeNumbers(cell.substr(0, cell.find_first_of(" T")), separator); n && (*n)[2] >= 1000) {
        dayFirstSeen = dayFirstSeen || (*n)[0] > 12;
        monthFirstSeen = monthFirstSeen || (*n)[1] > 12;
      }
    }
  }
  const Order order = dayFirstSeen == monthFirstSeen ? Order::unknown : dayFirstSeen ? Order::dayFirst : Order::monthFirst;
  const DateFormat local("yyyy-MM-dd HH:mm:ss", calendar);
  std::size_t withoutProject = 0;
  for (std::size_t r = 1; r < records.size(); ++r) {
    const auto& record = records[r];
    const auto value = [&](std::optional<std::size_t> c) -> std::string_view {
      return c && *c < record.fields.size() ? trimmed(record.fields[*c]) : std::string_view();
    };
    std::vector<std::string> messages;
    // A cell with a day and a time, or a time on the row's Date.
    const auto when = [&](std::string_view cell, std::string_view which) -> std::optional<std::pair<Day, Clock>> {
      const auto split = cell.find_first_of(" T");
      const auto onlyClock = clock(cell);
      if (onlyClock && date) {
        if (const auto d = day(value(date), order)) return std::pair{*d, *onlyClock};
        messages.push_back("Date “" + std::string(value(date)) + "” isn't a date.");
        return std::nullopt;
      }
      if (split != std::string_view::npos) {
        const auto d = day(cell.substr(0, split), order);
        const auto c = clock(cell.substr(split + 1));
        if (d && c) return std::pair{*d, *c};
      }
      messages.push_back(std::string(which) + " “" + std::string(cell) + "” isn't a time" +
                         (date ? "." : " with its day, like 2026-12-01 09:30."));
      return std::nullopt;
    };
    const auto from = when(value(start), "Start");
    std::optional<std::string> startText, endText;
    if (from) startText = localTime(from->first, from->second);
    if (from && !value(end).empty()) {
      if (const auto to = when(value(end), "End")) {
        endText = localTime(to->first, to->second);
        // A time alone that comes before the start is on the next day.
        if (*endText <= *startText && clock(value(end)) && date) {
          const auto next = calendar.instant({from->first.year, from->first.month, from->first.day, to->second.hour,
                                              to->second.minute, to->second.second});
          if (next) endText = local.format(calendar.addingDays(*next, 1));
        }
      }
    } else if (from) {
      if (const auto seconds = spreadsheetDuration(value(length))) {
        if (const auto begun = calendar.instant({from->first.year, from->first.month, from->first.day, from->second.hour,
                                                 from->second.minute, from->second.second})) {
          endText = local.format(*begun + *seconds);
        }
      } else {
        messages.push_back("Duration “" + std::string(value(length)) + "” isn't a duration. Use H:MM or hours, like 1.5.");
      }
    }
    if (startText && endText && !(*endText > *startText)) messages.push_back("It ends at " + *endText + ", before it starts.");
    if (!messages.empty() || !startText || !endText) {
      for (auto& message : messages) result.problems.push_back({record.line, std::move(message)});
      continue;
    }
    ConvertedEntry entry;
    entry.line = record.line;
    entry.project = std::string(value(project ? project : client ? client : task));
    if (entry.project.empty()) {
      entry.project = Converter::kNoProject;
      ++withoutProject;
    }
    entry.start = *startText;
    entry.end = *endText;
    entry.description = Converter::describedWith(std::string(value(description)),
                                                 {{"client", project ? std::string(value(client)) : ""},
                                                  {"task", project || client ? std::string(value(task)) : ""}});
    std::vector<std::string_view> fields;
    for (const auto& field : record.fields) fields.push_back(field);
    entry.sourceId = Converter::hashedSourceId(Converter::Format::spreadsheet, fields);
    result.entries.push_back(std::move(entry));
  }
  if (withoutProject > 0) {
    result.notes.push_back(std::to_string(withoutProject) + (withoutProject == 1 ? " entry" : " entries") +
                           " without a project went to “" + std::string(Converter::kNoProject) + "”.");
  }
  if (dayFirstSeen && monthFirstSeen) {
    result.problems.push_back({header.line, "Some dates read day first and others month first."});
  }
  return result;
}

}  // namespace

ReadExport read(Converter::Format format, std::string_view text, const Calendar& calendar) {
  if (format == Converter::Format::spreadsheet) return spreadsheet(text, calendar);
  ReadExport result;
  auto records = CSVRecords::read(text, result.problems);
  std::erase_if(records, [](const CSVRecords::Record& record) {
    return std::all_of(record.fields.begin(), record.fields.end(), [](const auto& f) { return trimmed(f).empty(); });
  });
  if (records.empty()) {
    result.problems.push_back({1, "The file is empty."});
    result.unreadable = true;
    return result;
  }

  std::map<std::string, std::size_t> columns;
  for (std::size_t c = 0; c < records.front().fields.size(); ++c) {
    columns.emplace(UnicodeText::asciiLowercased(trimmed(records.front().fields[c])), c);
  }
  for (const std::string_view required : {"Start date", "Start time", "End date", "End time"}) {
    if (!columns.contains(UnicodeText::asciiLowercased(required))) {
      result.problems.push_back({records.front().line, "There's no “" + std::string(required) + "” column. Is this a detailed CSV report from " +
                                                           std::string(title(format)) + "?"});
    }
  }
  if (!result.problems.empty()) {
    result.unreadable = true;
    return result;
  }
  const auto column = [&](std::string_view heading) -> std::optional<std::size_t> {
    const auto it = columns.find(std::string(heading));
    return it == columns.end() ? std::nullopt : std::optional(it->second);
  };
  const auto project = column("project"), client = column("client"), task = column("task"),
             description = column("description"), tags = column("tags"), id = column("id"),
             startDay = column("start date"), startClock = column("start time"), endDay = column("end date"),
             endClock = column("end time"), length = column("duration") ? column("duration") : column("duration (h)");
  const std::size_t headings = records.front().fields.size();

  // Day and month order: any first number above 12 says day first, any second one month first.
  Order order = Order::unknown;
  bool dayFirstSeen = false, monthFirstSeen = false;
  for (std::size_t r = 1; r < records.size(); ++r) {
    for (const auto c : {startDay, endDay}) {
      char separator = 0;
      if (*c >= records[r].fields.size()) continue;
      if (const auto n = threeNumbers(trimmed(records[r].fields[*c]), separator); n && (*n)[2] >= 1000) {
        dayFirstSeen = dayFirstSeen || (*n)[0] > 12;
        monthFirstSeen = monthFirstSeen || (*n)[1] > 12;
      }
    }
  }
  if (dayFirstSeen != monthFirstSeen) order = dayFirstSeen ? Order::dayFirst : Order::monthFirst;

  std::size_t withoutProject = 0;
  for (std::size_t r = 1; r < records.size(); ++r) {
    const auto& record = records[r];
    const auto value = [&](std::optional<std::size_t> c) -> std::string_view {
      return c && *c < record.fields.size() ? trimmed(record.fields[*c]) : std::string_view();
    };
    // A row that stops before its End cells is cut off, not a timer still running (whose End
    // cells are there, and empty).
    if (record.fields.size() < headings && std::max(*endDay, *endClock) >= record.fields.size()) {
      result.problems.push_back({record.line, "This row stops after " + std::to_string(record.fields.size()) + " of its " +
                                                  std::to_string(headings) + " columns: the file looks cut off here."});
      continue;
    }
    if (value(endDay).empty() && value(endClock).empty()) {
      result.notes.push_back("Left out line " + std::to_string(record.line) +
                             ": its timer was still running. Stop it and export again to bring it over.");
      continue;
    }
    std::vector<std::string> messages;
    const auto when = [&](std::optional<std::size_t> dayColumn, std::optional<std::size_t> clockColumn,
                          std::string_view which) -> std::optional<std::string> {
      const auto d = day(value(dayColumn), order);
      const auto c = clock(value(clockColumn));
      if (!d) messages.push_back(std::string(which) + " date “" + std::string(value(dayColumn)) + "” isn't a date.");
      if (!c) messages.push_back(std::string(which) + " time “" + std::string(value(clockColumn)) + "” isn't a time.");
      if (!d || !c) return std::nullopt;
      return localTime(*d, *c);
    };
    auto start = when(startDay, startClock, "Start");
    auto end = when(endDay, endClock, "End");
    if (start && end && !(*end > *start)) {
      // Across the night the clocks go back, the end's wall time may come first: the duration
      // says which of the two hours it was, and both times are written with their offsets.
      if (auto instants = acrossClockChange(*start, *end, duration(value(length)), calendar)) {
        start = instants->first;
        end = instants->second;
      } else {
        messages.push_back("It ends at " + *end + ", before it starts.");
      }
    }
    if (!messages.empty()) {
      for (auto& message : messages) result.problems.push_back({record.line, std::move(message)});
      continue;
    }
    ConvertedEntry entry;
    entry.line = record.line;
    entry.project = std::string(value(project));
    if (entry.project.empty()) {
      entry.project = Converter::kNoProject;
      ++withoutProject;
    }
    entry.start = *start;
    entry.end = *end;
    entry.description = Converter::describedWith(std::string(value(description)),
                                                 {{"client", std::string(value(client))},
                                                  {"task", std::string(value(task))},
                                                  {"tags", std::string(value(tags))}});
    entry.sourceId = !value(id).empty()
                         ? std::string(Converter::name(format)) + ":" + std::string(value(id))
                         : Converter::hashedSourceId(format, {value(project), value(client), value(task),
                                                              value(description), value(tags), value(startDay),
                                                              value(startClock), value(endDay), value(endClock)});
    result.entries.push_back(std::move(entry));
  }
  if (withoutProject > 0) {
    result.notes.push_back(std::to_string(withoutProject) + (withoutProject == 1 ? " entry" : " entries") +
                           " without a project went to “" + std::string(Converter::kNoProject) + "”.");
  }
  if (dayFirstSeen && monthFirstSeen) {
    result.problems.push_back({records.front().line, "Some dates read day first and others month first."});
  }
  return result;
}

}  // namespace lumetra::ExportTable
