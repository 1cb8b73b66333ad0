#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "control/ImportProblem.hpp"
#include "csv/CSVRecords.hpp"

namespace lumetra {

// Reads CSV records from a text given in pieces of any size, so that a file of any size is read
// through a small buffer; the dialect and the problems are those of CSVRecords::forEach. Each
// record goes to `each` as soon as it ends, in the same Record every time (its field texts keep
// their room; `each` may move them out).
class CSVRecordReader {
 public:
  CSVRecordReader(std::vector<ImportProblem>& problems, std::function<void(CSVRecords::Record&)> each,
                  char delimiter = ',');

  // The next piece of the text. A record, a field, even a "" or a CR LF may continue in the next.
  void feed(std::string_view piece);
  // The end of the text: the last record, and the problem of a quote never closed.
  void finish();

 private:
  // Reads `text` as far as it can be read without the byte after its end; returns how far.
  std::size_t read(std::string_view text, bool last);
  std::string& nextField();
  void endRecord();

  std::vector<ImportProblem>& problems_;
  std::function<void(CSVRecords::Record&)> each_;
  const char delimiter_;
  const char plain_[5];
  CSVRecords::Record record_;
  std::size_t count_ = 0;  // fields of the record so far; record_.fields may hold more, from earlier records
  std::string* field_ = nullptr;
  std::string held_;  // a last byte whose meaning depends on the next one
  std::int64_t line_ = 1;
  bool inQuotes_ = false, quoted_ = false, closed_ = false, reported_ = false;
};

}  // namespace lumetra
