#include "csv/CSVImporter.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Timestamp.hpp"
#include "csv/CSVExporter.hpp"
#include "csv/CSVRecords.hpp"
#include "platform/DateFormat.hpp"
#include "platform/UnicodeText.hpp"

namespace lumetra::CSVImporter {

namespace {

using Record = CSVRecords::Record;

std::string_view trimmedSpacesAndTabs(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Reads Start and End cells: "yyyy-MM-dd HH:mm:ss" or "yyyy-MM-dd HH:mm" local time, accepted
// only when it formats back to the same text (so every number is padded and in range, and the
// time exists in the zone), else ISO 8601 with a zone designator.
class TimeReader {
 public:
  explicit TimeReader(const Calendar& zone) : zone_(zone), dayFormat_("yyyy-MM-dd", zone) {}

  std::optional<Instant> time(std::string_view cell, std::string_view column, std::vector<std::string>& messages) {
    const std::string_view text = trimmedSpacesAndTabs(cell);
    if (text.empty()) {
      messages.push_back(std::string(column) + " is empty.");
      return std::nullopt;
    }
    if (auto parts = wallClock(text)) {
      if (auto instant = local(*parts)) return instant;
    }
    if (text.find('T') != std::string_view::npos) {
      if (auto instant = Timestamp::parse(text)) return instant;
    }
    messages.push_back(std::string(column) + " “" + std::string(text) +
                       "” isn't a time. Use YYYY-MM-DD HH:MM:SS, in local time.");
    return std::nullopt;
  }

  // The day of a start read from `text`, as the day format writes it. An ISO 8601 text begins
  // with its day, and so does a wall-clock text on a day without a clock change.
  std::string day(std::string_view text, Instant instant) const {
    if (text.find('T') != std::string_view::npos) return std::string(text.substr(0, 10));
    if (const auto parts = wallClock(text)) {
      const auto known = dayStarts_.find(dayKey(*parts));
      if (known != dayStarts_.end() && known->second) return std::string(text.substr(0, 10));
    }
    return dayFormat_.format(instant);
  }

 private:
  // The fields of a text shaped exactly like either time format; nothing for any other shape,
  // which could never format back to itself.
  static std::optional<Calendar::DateParts> wallClock(std::string_view text) {
    if (text.size() != 16 && text.size() != 19) return std::nullopt;
    const std::string_view shape = text.size() == 19 ? "dddd-dd-dd dd:dd:dd" : "dddd-dd-dd dd:dd";
    for (std::size_t i = 0; i < text.size(); ++i) {
      const bool digit = text[i] >= '0' && text[i] <= '9';
      if (shape[i] == 'd' ? !digit : text[i] != shape[i]) return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t count) {
      int value = 0;
      for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
      return value;
    };
    return Calendar::DateParts{number(0, 4),  number(5, 2),  number(8, 2),
                               number(11, 2), number(14, 2), text.size() == 19 ? number(17, 2) : 0};
  }

  static int dayKey(const Calendar::DateParts& p) { return p.year * 10000 + p.month * 100 + p.day; }

  // The instant of a wall-clock time. Files hold many times on each day, so each day's start is
  // looked up once; days with a clock change go to the calendar time by time.
  std::optional<Instant> local(const Calendar::DateParts& p) {
    if (p.hour > 23 || p.minute > 59 || p.second > 59) return zone_.instant(p);
    auto [day, added] = dayStarts_.try_emplace(dayKey(p));
    if (added) {
      const auto start = zone_.instant({p.year, p.month, p.day, 0, 0, 0});
      if (start && !zone_.mayChangeBetween(*start, *start + 86400)) day->second = start;
    }
    if (!day->second) return zone_.instant(p);
    return *day->second + (p.hour * 3600 + p.minute * 60 + p.second);
  }

  const Calendar& zone_;
  DateFormat dayFormat_;
  // By yyyymmdd, the start of each day seen that has no clock change in it; nothing for a day
  // with one, whose wall-clock times go to the calendar one by one.
  std::unordered_map<int, std::optional<Instant>> dayStarts_;
};

}  // namespace

ImportFile parse(std::string_view text, const Calendar& timeZone) {
  ImportFile file;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string> known;
  for (const auto heading : CSVExporter::header) known.push_back(UnicodeText::caseFolded(heading));
  std::int64_t headerLine = 0;  // 0 until the header is read
  std::vector<std::optional<std::string_view>> headings;  // the canonical heading of each column
  std::vector<std::pair<std::string_view, std::size_t>> columns;  // canonical heading → column
  std::vector<std::string> headerProblems;
  const auto columnOf = [&](std::string_view heading) -> std::optional<std::size_t> {
    for (const auto& [name, column] : columns) {
      if (name == heading) return column;
    }
    return std::nullopt;
  };
  // Which column each known heading names.
  const auto readHeader = [&](const Record& header) {
    headerLine = header.line;
    headings.resize(header.fields.size());
    for (std::size_t c = 0; c < header.fields.size(); ++c) {
      const std::string_view cell = trimmedSpacesAndTabs(header.fields[c]);
      if (cell.empty()) continue;
      const auto match = std::find(known.begin(), known.end(), UnicodeText::caseFolded(cell));
      if (match == known.end()) {
        std::string names;
        for (const auto heading : CSVExporter::header) names += (names.empty() ? "" : ", ") + std::string(heading);
        headerProblems.push_back("“" + std::string(cell) + "” isn't a column Lumetra knows. The columns are " + names +
                                 ".");
        continue;
      }
      const std::string_view canonical = CSVExporter::header[static_cast<std::size_t>(match - known.begin())];
      headings[c] = canonical;
      auto seen = std::find_if(columns.begin(), columns.end(), [&](const auto& p) { return p.first == canonical; });
      if (seen != columns.end()) {
        headerProblems.push_back("There are two “" + std::string(canonical) + "” columns.");
        seen->second = c;
      } else {
        columns.emplace_back(canonical, c);
      }
    }
    for (const auto required : requiredColumns) {
      if (!columnOf(required)) headerProblems.push_back("There's no “" + std::string(required) + "” column.");
    }
  };

  TimeReader reader(timeZone);
  std::optional<std::size_t> project, start, end, date, times, description, source;
  const auto readRow = [&](Record& record) {
    const auto value = [&](std::optional<std::size_t> column) -> std::string_view {
      if (!column || *column >= record.fields.size()) return {};
      return record.fields[*column];
    };
    std::vector<std::string> messages;
    for (std::size_t c = 0; c < record.fields.size(); ++c) {
      if ((c >= headings.size() || !headings[c]) && !trimmedSpacesAndTabs(record.fields[c]).empty()) {
        messages.push_back("There's a value in column " + std::to_string(c + 1) + ", which has no heading.");
        break;
      }
    }
    const auto startAt = reader.time(value(start), "Start", messages);
    std::optional<Instant> endAt;
    if (UnicodeText::asciiLowercased(trimmedSpacesAndTabs(value(end))) == "in progress") {
      messages.emplace_back(
          "The session was still running when it was exported. Give it an End time, or stop it and export again.");
    } else {
      endAt = reader.time(value(end), "End", messages);
    }
    const std::string_view day = trimmedSpacesAndTabs(value(date));
    if (!day.empty() && startAt) {
      const std::string_view startText = trimmedSpacesAndTabs(value(start));
      const std::string startDay = reader.day(startText, *startAt);
      if (startDay != day) {
        messages.push_back("Date " + std::string(day) + " isn't the date of Start (" + startDay + ").");
      }
    }
    SessionTimes kind = SessionTimes::real;
    if (const std::string_view written = trimmedSpacesAndTabs(value(times)); !written.empty()) {
      if (auto named = fromRawValue<SessionTimes>(UnicodeText::asciiLowercased(written))) {
        kind = *named;
      } else {
        messages.push_back("Times is “" + std::string(written) +
                           "”. Use real, approximate, placeholder or nothing (real).");
      }
    }
    if (!messages.empty()) {
      for (auto& message : messages) file.problems.push_back({record.line, std::move(message)});
      return;
    }
    // The record's texts move into the row: the reader refills its fields for the next record.
    const auto take = [&](std::optional<std::size_t> column) -> std::optional<std::string> {
      if (!column || *column >= record.fields.size() || record.fields[*column].empty()) return std::nullopt;
      return std::move(record.fields[*column]);
    };
    std::string projectName = take(project).value_or("");
    file.rows.push_back(
        ImportRow{record.line, std::move(projectName), *startAt, *endAt, take(description), kind, take(source)});
  };

  CSVRecords::forEach(text, file.problems, [&](Record& record) {
    const bool blank = std::all_of(record.fields.begin(), record.fields.end(),
                                   [](const std::string& f) { return trimmedSpacesAndTabs(f).empty(); });
    if (blank) return;
    if (headerLine > 0) {
      // After a faulty header the rest is read only for its quoting problems.
      if (headerProblems.empty()) readRow(record);
      return;
    }
    readHeader(record);
    project = columnOf("Project"), start = columnOf("Start"), end = columnOf("End"), date = columnOf("Date"),
    times = columnOf("Times"), description = columnOf("Description"), source = columnOf("Source ID");
    // Rows run about 120 bytes; a guess that spares most of the growing.
    file.rows.reserve(text.size() / 128);
  });
  if (headerLine == 0) {
    if (file.problems.empty()) file.problems.push_back({1, "The file is empty."});
    return file;
  }
  if (!headerProblems.empty()) {
    std::vector<ImportProblem> problems;
    for (auto& message : headerProblems) problems.push_back({headerLine, std::move(message)});
    problems.insert(problems.end(), file.problems.begin(), file.problems.end());
    file.problems = std::move(problems);
    return file;
  }
  std::stable_sort(file.problems.begin(), file.problems.end(),
                   [](const ImportProblem& a, const ImportProblem& b) { return a.line < b.line; });
  return file;
}

}  // namespace lumetra::CSVImporter
