#include "csv/CSVRecords.hpp"

#include "csv/CSVRecordReader.hpp"

namespace lumetra::CSVRecords {

void forEach(std::string_view text, std::vector<ImportProblem>& problems, const std::function<void(Record&)>& each,
             char delimiter) {
  CSVRecordReader reader(problems, each, delimiter);
  reader.feed(text);
  reader.finish();
}

std::vector<Record> read(std::string_view text, std::vector<ImportProblem>& problems, char delimiter) {
  std::vector<Record> out;
  forEach(text, problems, [&](Record& record) { out.push_back(std::move(record)); }, delimiter);
  return out;
}

}  // namespace lumetra::CSVRecords
