#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/ImportProblem.hpp"
#include "csv/CSVRecordReader.hpp"
#include "platform/Calendar.hpp"
#include "store/ImportRow.hpp"

namespace lumetra {

// Reads an export-shaped CSV text given in pieces of any size: each good row goes to `each` as
// soon as it is read, so a file of any size is imported through a small buffer. Local times are
// read in `timeZone`'s zone. Never fails: every problem is kept with its line.
class CSVImportReader {
 public:
  CSVImportReader(const Calendar& timeZone, std::function<void(ImportRow&&)> each);
  ~CSVImportReader();
  CSVImportReader(const CSVImportReader&) = delete;
  CSVImportReader& operator=(const CSVImportReader&) = delete;

  void feed(std::string_view piece);
  [[nodiscard]] bool hasProblems() const { return !problems_.empty() || !headerProblems_.empty(); }
  // The end of the text. The problems in the order they are shown: a faulty header's first,
  // else by line; "The file is empty." for a text without a header.
  [[nodiscard]] std::vector<ImportProblem> finish();

 private:
  class TimeReader;
  void record(CSVRecords::Record& record);
  void readHeader(const CSVRecords::Record& header);
  void readRow(CSVRecords::Record& record);
  [[nodiscard]] std::optional<std::size_t> columnOf(std::string_view heading) const;

  std::function<void(ImportRow&&)> each_;
  std::unique_ptr<TimeReader> times_;
  std::vector<ImportProblem> problems_;
  CSVRecordReader records_;
  std::string start_;          // the first bytes, until a byte-order mark can be told apart
  bool started_ = false;
  std::int64_t headerLine_ = 0;  // 0 until the header is read
  std::vector<std::optional<std::string_view>> headings_;          // the canonical heading of each column
  std::vector<std::pair<std::string_view, std::size_t>> columns_;  // canonical heading → column
  std::vector<std::string> headerProblems_;
  std::optional<std::size_t> project_, startColumn_, end_, date_, kind_, description_, source_;
};

}  // namespace lumetra
