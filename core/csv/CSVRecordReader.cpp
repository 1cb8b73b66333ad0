#include "csv/CSVRecordReader.hpp"

#include <algorithm>
#include <utility>

namespace lumetra {

CSVRecordReader::CSVRecordReader(std::vector<ImportProblem>& problems, std::function<void(CSVRecords::Record&)> each,
                                 char delimiter)
    : problems_(problems), each_(std::move(each)), delimiter_(delimiter), plain_{delimiter, '"', '\r', '\n', '\0'} {
  field_ = &nextField();
  record_.line = 1;
}

std::string& CSVRecordReader::nextField() {
  if (count_ == record_.fields.size()) record_.fields.emplace_back();
  std::string& field = record_.fields[count_++];
  field.clear();
  return field;
}

void CSVRecordReader::endRecord() {
  record_.fields.resize(count_);
  each_(record_);
  count_ = 0;
}

void CSVRecordReader::feed(std::string_view piece) {
  if (held_.empty()) {
    held_ = piece.substr(read(piece, false));
    return;
  }
  // The held byte and the start of the piece are read together; then the rest of the piece.
  std::string joined = held_ + std::string(piece.substr(0, 1));
  const std::size_t used = read(joined, false);
  if (used < held_.size()) {  // only when the piece was empty
    held_ = joined.substr(used);
    return;
  }
  piece.remove_prefix(used - held_.size());
  held_.clear();
  held_ = piece.substr(read(piece, false));
}

void CSVRecordReader::finish() {
  const std::string rest = std::exchange(held_, {});
  read(rest, true);
  if (inQuotes_) problems_.push_back({record_.line, "A quoted field starting on this line is never closed."});
  // Text after the last line break is a record too, unless there is none at all.
  if (!(field_->empty() && count_ == 1 && !quoted_)) endRecord();
}

// Walked byte by byte: every character it reacts to is ASCII, and UTF-8 never uses ASCII bytes
// inside other characters. A quote inside quotes and a CR need the byte after them; when that
// is not yet known, they wait for the next piece.
std::size_t CSVRecordReader::read(std::string_view text, bool last) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const char c = text[i];
    if (!last && i + 1 == n && (c == '\r' || (c == '"' && inQuotes_))) return i;
    if (inQuotes_) {
      if (c == '"') {
        if (i + 1 < n && text[i + 1] == '"') {
          *field_ += '"';
          i += 2;
        } else {
          inQuotes_ = false;
          closed_ = true;
          ++i;
        }
      } else if (c == '\r' && i + 1 < n && text[i + 1] == '\n') {
        *field_ += "\r\n";
        i += 2;
        ++line_;
      } else if (c == '\n' || c == '\r') {
        *field_ += c;
        ++i;
        ++line_;
      } else {
        // Plain text up to the next character that means something inside quotes, at once.
        const auto next = std::min(text.find_first_of("\"\r\n", i), n);
        field_->append(text.substr(i, next - i));
        i = next;
      }
      continue;
    }
    if (c == delimiter_) {
      field_ = &nextField();
      quoted_ = closed_ = false;
      ++i;
    } else if (c == '\n' || c == '\r') {
      endRecord();
      field_ = &nextField();
      quoted_ = closed_ = reported_ = false;
      i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
      record_.line = ++line_;
    } else if (c == '"' && field_->empty() && !quoted_) {
      inQuotes_ = quoted_ = true;
      ++i;
    } else if (!closed_ && c != '"') {
      // Plain text up to the next character that means something outside quotes, at once.
      const auto next = std::min(text.find_first_of(plain_, i), n);
      field_->append(text.substr(i, next - i));
      i = next;
    } else {
      if (closed_ && !reported_) {
        problems_.push_back({line_,
                             "A quoted field is followed by more text. Put the whole field in quotes, with \"\" for "
                             "each quote inside it."});
        reported_ = true;
      }
      *field_ += c;
      ++i;
    }
  }
  return n;
}

}  // namespace lumetra
