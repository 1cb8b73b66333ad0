#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Instant.hpp"
#include "store/SessionTimes.hpp"

namespace lumetra {

// One data row of an import file, read and checked, not yet planned.
struct ImportRow {
  std::int64_t line = 0;  // where the row's record starts, from 1
  std::string project;    // as read; planning trims it
  Instant start;
  Instant end;
  std::optional<std::string> description;  // absent when the cell is empty or missing
  SessionTimes times = SessionTimes::real;
  std::optional<std::string> sourceId;  // absent when empty or missing

  bool operator==(const ImportRow&) const = default;
};

}  // namespace lumetra
