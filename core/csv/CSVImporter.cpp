#include "csv/CSVImporter.hpp"

#include "csv/CSVImportReader.hpp"

namespace lumetra::CSVImporter {

ImportFile parse(std::string_view text, const Calendar& timeZone) {
  ImportFile file;
  CSVImportReader reader(timeZone, [&](ImportRow&& row) { file.rows.push_back(std::move(row)); });
  reader.feed(text);
  file.problems = reader.finish();
  return file;
}

}  // namespace lumetra::CSVImporter
