// Other trackers' exports as `lumetra-app convert` reads them; the first byte picks the format.
// What a converter writes, the importer must read back: every entry a row, none a problem.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "convert/Converter.hpp"
#include "csv/CSVImporter.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumetra;
  if (size == 0) return 0;
  static const Calendar zone("Europe/Berlin");
  const auto format = Converter::kFormatNames[data[0] % Converter::kFormatNames.size()].first;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const ReadExport read = Converter::read(format, text, zone);
  if (read.unreadable && !read.entries.empty()) __builtin_trap();
  if (read.entries.empty()) return 0;
  const auto file = CSVImporter::parse(Converter::csv(read.entries), zone);
  if (!file.problems.empty() || file.rows.size() != read.entries.size()) __builtin_trap();
  return 0;
}
