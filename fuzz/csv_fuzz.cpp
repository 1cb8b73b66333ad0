// Import files as the host receives them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "csv/CSVImporter.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const lumetra::Calendar zone("America/New_York");
  const auto file = lumetra::CSVImporter::parse(std::string_view(reinterpret_cast<const char*>(data), size), zone);
  // Every problem names a real line, and rows come in file order.
  for (std::size_t i = 1; i < file.rows.size(); ++i) {
    if (file.rows[i].line <= file.rows[i - 1].line) __builtin_trap();
  }
  for (const auto& problem : file.problems) {
    if (problem.line < 1) __builtin_trap();
  }
  return 0;
}
