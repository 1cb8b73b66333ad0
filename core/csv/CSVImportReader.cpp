#include "csv/CSVImportReader.hpp"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "csv/CSVExporter.hpp"
#include "csv/CSVImporter.hpp"
#include "platform/DateFormat.hpp"
#include "platform/Timestamp.hpp"
#include "platform/UnicodeText.hpp"

namespace lumetra {

namespace {

std::string_view trimmedSpacesAndTabs(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

// Reads Start and End cells: "yyyy-MM-dd HH:mm:ss" or "yyyy-MM-dd HH:mm" local time, accepted
// only when it formats back to the same text (so every number is padded and in range, and the
// time exists in the zone), else ISO 8601 with a zone designator.
class CSVImportReader::TimeReader {
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

CSVImportReader::CSVImportReader(const Calendar& timeZone, std::function<void(ImportRow&&)> each)
    : each_(std::move(each)),
      times_(std::make_unique<TimeReader>(timeZone)),
      records_(problems_, [this](CSVRecords::Record& r) { record(r); }) {}

CSVImportReader::~CSVImportReader() = default;

void CSVImportReader::feed(std::string_view piece) {
  if (started_) return records_.feed(piece);
  // A byte-order mark may come split over pieces.
  start_.append(piece);
  if (start_.size() < 3) return;
  started_ = true;
  std::string_view text = start_;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  records_.feed(text);
  std::string().swap(start_);
}

std::optional<std::size_t> CSVImportReader::columnOf(std::string_view heading) const {
  for (const auto& [name, column] : columns_) {
    if (name == heading) return column;
  }
  return std::nullopt;
}

void CSVImportReader::record(CSVRecords::Record& record) {
  const bool blank = std::all_of(record.fields.begin(), record.fields.end(),
                                 [](const std::string& f) { return trimmedSpacesAndTabs(f).empty(); });
  if (blank) return;
  if (headerLine_ > 0) {
    // After a faulty header the rest is read only for its quoting problems.
    if (headerProblems_.empty()) readRow(record);
    return;
  }
  readHeader(record);
  project_ = columnOf("Project"), startColumn_ = columnOf("Start"), end_ = columnOf("End"), date_ = columnOf("Date"),
  kind_ = columnOf("Times"), description_ = columnOf("Description"), source_ = columnOf("Source ID");
}

// Which column each known heading names.
void CSVImportReader::readHeader(const CSVRecords::Record& header) {
  std::vector<std::string> known;
  for (const auto heading : CSVExporter::header) known.push_back(UnicodeText::caseFolded(heading));
  headerLine_ = header.line;
  headings_.resize(header.fields.size());
  for (std::size_t c = 0; c < header.fields.size(); ++c) {
    const std::string_view cell = trimmedSpacesAndTabs(header.fields[c]);
    if (cell.empty()) continue;
    const auto match = std::find(known.begin(), known.end(), UnicodeText::caseFolded(cell));
    if (match == known.end()) {
      std::string names;
      for (const auto heading : CSVExporter::header) names += (names.empty() ? "" : ", ") + std::string(heading);
      headerProblems_.push_back("“" + std::string(cell) + "” isn't a column Lumetra knows. The columns are " + names +
                                ".");
      continue;
    }
    const std::string_view canonical = CSVExporter::header[static_cast<std::size_t>(match - known.begin())];
    headings_[c] = canonical;
    auto seen = std::find_if(columns_.begin(), columns_.end(), [&](const auto& p) { return p.first == canonical; });
    if (seen != columns_.end()) {
      headerProblems_.push_back("There are two “" + std::string(canonical) + "” columns.");
      seen->second = c;
    } else {
      columns_.emplace_back(canonical, c);
    }
  }
  for (const auto required : CSVImporter::requiredColumns) {
    if (!columnOf(required)) headerProblems_.push_back("There's no “" + std::string(required) + "” column.");
  }
}

void CSVImportReader::readRow(CSVRecords::Record& record) {
  const auto value = [&](std::optional<std::size_t> column) -> std::string_view {
    if (!column || *column >= record.fields.size()) return {};
    return record.fields[*column];
  };
  std::vector<std::string> messages;
  for (std::size_t c = 0; c < record.fields.size(); ++c) {
    if ((c >= headings_.size() || !headings_[c]) && !trimmedSpacesAndTabs(record.fields[c]).empty()) {
      messages.push_back("There's a value in column " + std::to_string(c + 1) + ", which has no heading.");
      break;
    }
  }
  const auto startAt = times_->time(value(startColumn_), "Start", messages);
  std::optional<Instant> endAt;
  if (UnicodeText::asciiLowercased(trimmedSpacesAndTabs(value(end_))) == "in progress") {
    messages.emplace_back(
        "The session was still running when it was exported. Give it an End time, or stop it and export again.");
  } else {
    endAt = times_->time(value(end_), "End", messages);
  }
  const std::string_view day = trimmedSpacesAndTabs(value(date_));
  if (!day.empty() && startAt) {
    const std::string startDay = times_->day(trimmedSpacesAndTabs(value(startColumn_)), *startAt);
    if (startDay != day) messages.push_back("Date " + std::string(day) + " isn't the date of Start (" + startDay + ").");
  }
  SessionTimes kind = SessionTimes::real;
  if (const std::string_view written = trimmedSpacesAndTabs(value(kind_)); !written.empty()) {
    if (auto named = fromRawValue<SessionTimes>(UnicodeText::asciiLowercased(written))) {
      kind = *named;
    } else {
      messages.push_back("Times is “" + std::string(written) + "”. Use real, approximate, placeholder or nothing (real).");
    }
  }
  if (!messages.empty()) {
    for (auto& message : messages) problems_.push_back({record.line, std::move(message)});
    return;
  }
  // The record's texts move into the row: the reader refills its fields for the next record.
  const auto take = [&](std::optional<std::size_t> column) -> std::optional<std::string> {
    if (!column || *column >= record.fields.size() || record.fields[*column].empty()) return std::nullopt;
    return std::move(record.fields[*column]);
  };
  std::string projectName = take(project_).value_or("");
  each_(ImportRow{record.line, std::move(projectName), *startAt, *endAt, take(description_), kind, take(source_)});
}

std::vector<ImportProblem> CSVImportReader::finish() {
  if (!started_) {
    started_ = true;
    records_.feed(start_);
  }
  records_.finish();
  std::vector<ImportProblem> problems = std::move(problems_);
  if (headerLine_ == 0) {
    if (problems.empty()) problems.push_back({1, "The file is empty."});
    return problems;
  }
  if (!headerProblems_.empty()) {
    std::vector<ImportProblem> first;
    for (auto& message : headerProblems_) first.push_back({headerLine_, std::move(message)});
    first.insert(first.end(), problems.begin(), problems.end());
    return first;
  }
  std::stable_sort(problems.begin(), problems.end(),
                   [](const ImportProblem& a, const ImportProblem& b) { return a.line < b.line; });
  return problems;
}

}  // namespace lumetra
