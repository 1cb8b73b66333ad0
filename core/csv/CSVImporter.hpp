#pragma once

#include <array>
#include <string_view>

#include "store/ImportFile.hpp"
#include "platform/Calendar.hpp"

namespace lumetra::CSVImporter {

// Columns a file must have.
inline constexpr std::array<std::string_view, 3> requiredColumns{"Project", "Start", "End"};

// Reads the text of an export-shaped CSV file. Local times are read in `timeZone`'s zone.
// Never fails: every problem is reported with its line, and every row is examined.
[[nodiscard]] ImportFile parse(std::string_view text, const Calendar& timeZone);

}  // namespace lumetra::CSVImporter
