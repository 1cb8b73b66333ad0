#pragma once

#include <vector>

#include "control/ImportProblem.hpp"
#include "store/ImportRow.hpp"

namespace lumetra {

// A whole import file as read: the good rows in file order, and every problem found.
// A file with problems may still have rows; planning refuses to store them.
struct ImportFile {
  std::vector<ImportRow> rows;
  std::vector<ImportProblem> problems;

  bool operator==(const ImportFile&) const = default;
};

}  // namespace lumetra
