#include "csv/CSVRecords.hpp"

#include <algorithm>

namespace lumetra::CSVRecords {

// Walked byte by byte: every character it reacts to is ASCII, and UTF-8 never uses ASCII bytes
// inside other characters.
std::vector<Record> read(std::string_view text, std::vector<ImportProblem>& problems) {
  std::vector<Record> out;
  std::string field;
  std::vector<std::string> fields;
  std::int64_t line = 1, recordLine = 1;
  bool inQuotes = false, quoted = false, closed = false, reported = false;
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (inQuotes) {
      if (c == '"') {
        if (i + 1 < n && text[i + 1] == '"') {
          field += '"';
          i += 2;
        } else {
          inQuotes = false;
          closed = true;
          ++i;
        }
      } else if (c == '\r' && i + 1 < n && text[i + 1] == '\n') {
        field += "\r\n";
        i += 2;
        ++line;
      } else if (c == '\n' || c == '\r') {
        field += c;
        ++i;
        ++line;
      } else {
        // Plain text up to the next character that means something inside quotes, at once.
        const auto next = std::min(text.find_first_of("\"\r\n", i), n);
        field.append(text.substr(i, next - i));
        i = next;
      }
      continue;
    }
    if (c == ',') {
      fields.push_back(std::move(field));
      field.clear();
      quoted = closed = false;
      ++i;
    } else if (c == '\n' || c == '\r') {
      fields.push_back(std::move(field));
      field.clear();
      quoted = closed = reported = false;
      out.push_back(Record{recordLine, std::move(fields)});
      fields.clear();
      fields.reserve(out.back().fields.size());  // the next record likely has as many
      i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
      recordLine = ++line;
    } else if (c == '"' && field.empty() && !quoted) {
      inQuotes = quoted = true;
      ++i;
    } else if (!closed && c != '"') {
      // Plain text up to the next character that means something outside quotes, at once.
      const auto next = std::min(text.find_first_of(",\"\r\n", i), n);
      field.append(text.substr(i, next - i));
      i = next;
    } else {
      if (closed && !reported) {
        problems.push_back({line,
                            "A quoted field is followed by more text. Put the whole field in quotes, with \"\" for each "
                            "quote inside it."});
        reported = true;
      }
      field += c;
      ++i;
    }
  }
  if (inQuotes) problems.push_back({recordLine, "A quoted field starting on this line is never closed."});
  if (!(field.empty() && fields.empty() && !quoted)) {
    fields.push_back(std::move(field));
    out.push_back(Record{recordLine, std::move(fields)});
  }
  return out;
}

}  // namespace lumetra::CSVRecords
