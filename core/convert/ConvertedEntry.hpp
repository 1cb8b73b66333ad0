#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/ImportProblem.hpp"

namespace lumetra {

// One entry of another tracker's export, as a row of Lumetra's CSV: times already written the
// way the importer reads them (local "YYYY-MM-DD HH:MM:SS", or ISO 8601 with a zone).
struct ConvertedEntry {
  std::int64_t line = 0;  // where the entry starts in the source
  std::string project, start, end, description, sourceId;
};

// What reading an export found: the entries, the rows it couldn't read (with their lines), and
// notes about what it changed or left out on purpose. `unreadable` when the problems are the
// whole file's (not UTF-8, empty, not this kind of export), so that leaving rows out can't help.
struct ReadExport {
  std::vector<ConvertedEntry> entries;
  std::vector<ImportProblem> problems;
  std::vector<std::string> notes;
  bool unreadable = false;
};

}  // namespace lumetra
