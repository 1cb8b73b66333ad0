#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"
#include "platform/Instant.hpp"

namespace lumetra {

// A planned row that overlaps a stored session (sessionId) or an earlier row of the file (otherLine).
struct ImportOverlap {
  std::int64_t line = 0;                  // the planned row that overlaps
  std::optional<std::int64_t> otherLine;  // the other row, for an overlap within the file
  std::optional<std::int64_t> sessionId;  // the stored session, otherwise
  std::string project;                    // the other side's project name
  Instant start;                          // the other side's times
  std::optional<Instant> end;             // absent for a stored session still running

  bool operator==(const ImportOverlap&) const = default;

  static constexpr auto wireFields() {
    using R = ImportOverlap;
    return std::tuple{WireField{"line", &R::line},
                      WireField{"other_line", &R::otherLine},
                      WireField{"session_id", &R::sessionId},
                      WireField{"project", &R::project},
                      WireField{"start", &R::start},
                      WireField{"end", &R::end}};
  }
};

}  // namespace lumetra
