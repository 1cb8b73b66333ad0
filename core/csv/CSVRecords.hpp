#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "control/ImportProblem.hpp"

namespace lumetra::CSVRecords {

// One record of a CSV text and the line it starts on (counting from 1).
struct Record {
  std::int64_t line = 0;
  std::vector<std::string> fields;
};

// The records of a CSV text in this dialect: comma-separated (or by `delimiter`), double-quoted fields, "" for a
// quote inside quotes, any of LF, CR and CR LF ending a record. Never fails: a malformed quote
// is reported in `problems` with its line, and reading goes on.
//
// Each record is handed to `each` as it is read, in the same Record every time: a large file
// never stands in memory as records, and the field texts keep their room from one record to
// the next. `each` may move texts out of the fields.
void forEach(std::string_view text, std::vector<ImportProblem>& problems, const std::function<void(Record&)>& each,
             char delimiter = ',');

// Every record at once, for files that are small.
[[nodiscard]] std::vector<Record> read(std::string_view text, std::vector<ImportProblem>& problems, char delimiter = ',');

}  // namespace lumetra::CSVRecords
