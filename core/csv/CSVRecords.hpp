#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/ImportProblem.hpp"

namespace lumetra::CSVRecords {

// One record of a CSV text and the line it starts on (counting from 1).
struct Record {
  std::int64_t line = 0;
  std::vector<std::string> fields;
};

// The records of a CSV text in this dialect: comma-separated, double-quoted fields, "" for a
// quote inside quotes, any of LF, CR and CR LF ending a record. Never fails: a malformed quote
// is reported in `problems` with its line, and reading goes on.
[[nodiscard]] std::vector<Record> read(std::string_view text, std::vector<ImportProblem>& problems);

}  // namespace lumetra::CSVRecords
