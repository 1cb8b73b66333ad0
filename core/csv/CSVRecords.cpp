#include "csv/CSVRecords.hpp"

#include <algorithm>
#include <utility>

namespace lumetra::CSVRecords {

// Walked byte by byte: every character it reacts to is ASCII, and UTF-8 never uses ASCII bytes
// inside other characters.
void forEach(std::string_view text, std::vector<ImportProblem>& problems, const std::function<void(Record&)>& each,
             char delimiter) {
  const char plain[] = {delimiter, '"', '\r', '\n', '\0'};
  Record record;
  std::size_t count = 0;  // fields of the record so far; record.fields may hold more, from earlier records
  const auto nextField = [&]() -> std::string& {
    if (count == record.fields.size()) record.fields.emplace_back();
    std::string& field = record.fields[count++];
    field.clear();
    return field;
  };
  const auto finish = [&] {
    record.fields.resize(count);
    each(record);
    count = 0;
  };
  std::string* field = &nextField();
  std::int64_t line = 1;
  record.line = 1;
  bool inQuotes = false, quoted = false, closed = false, reported = false;
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (inQuotes) {
      if (c == '"') {
        if (i + 1 < n && text[i + 1] == '"') {
          *field += '"';
          i += 2;
        } else {
          inQuotes = false;
          closed = true;
          ++i;
        }
      } else if (c == '\r' && i + 1 < n && text[i + 1] == '\n') {
        *field += "\r\n";
        i += 2;
        ++line;
      } else if (c == '\n' || c == '\r') {
        *field += c;
        ++i;
        ++line;
      } else {
        // Plain text up to the next character that means something inside quotes, at once.
        const auto next = std::min(text.find_first_of("\"\r\n", i), n);
        field->append(text.substr(i, next - i));
        i = next;
      }
      continue;
    }
    if (c == delimiter) {
      field = &nextField();
      quoted = closed = false;
      ++i;
    } else if (c == '\n' || c == '\r') {
      finish();
      field = &nextField();
      quoted = closed = reported = false;
      i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
      record.line = ++line;
    } else if (c == '"' && field->empty() && !quoted) {
      inQuotes = quoted = true;
      ++i;
    } else if (!closed && c != '"') {
      // Plain text up to the next character that means something outside quotes, at once.
      const auto next = std::min(text.find_first_of(plain, i), n);
      field->append(text.substr(i, next - i));
      i = next;
    } else {
      if (closed && !reported) {
        problems.push_back({line,
                            "A quoted field is followed by more text. Put the whole field in quotes, with \"\" for each "
                            "quote inside it."});
        reported = true;
      }
      *field += c;
      ++i;
    }
  }
  if (inQuotes) problems.push_back({record.line, "A quoted field starting on this line is never closed."});
  // Text after the last line break is a record too, unless there is none at all.
  if (!(field->empty() && count == 1 && !quoted)) finish();
}

std::vector<Record> read(std::string_view text, std::vector<ImportProblem>& problems, char delimiter) {
  std::vector<Record> out;
  forEach(text, problems, [&](Record& record) { out.push_back(std::move(record)); }, delimiter);
  return out;
}

}  // namespace lumetra::CSVRecords
