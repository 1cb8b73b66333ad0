#pragma once

#include <cstdint>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"
#include "control/ImportOverlap.hpp"
#include "control/ImportProblem.hpp"
#include "control/ImportProjectTotal.hpp"

namespace lumetra {

// What an import did, or would do: counts, per-project totals, overlaps and problems.
struct ImportReport {
  bool dryRun = false;
  bool allowOverlaps = false;
  bool imported = false;  // true only when the plans were stored
  std::int64_t sessions = 0;
  std::int64_t approximateSessions = 0;
  std::int64_t placeholderSessions = 0;
  std::int64_t seconds = 0;  // all planned durations, summed then rounded
  std::int64_t skipped = 0;  // rows whose source ID was imported before
  std::vector<ImportProjectTotal> projects;
  std::vector<ImportOverlap> overlaps;
  std::vector<ImportProblem> problems;

  // No problems, and overlaps either allowed or absent.
  [[nodiscard]] bool canImport() const { return problems.empty() && (allowOverlaps || overlaps.empty()); }

  bool operator==(const ImportReport&) const = default;

  static constexpr auto wireFields() {
    using R = ImportReport;
    return std::tuple{WireField{"dry_run", &R::dryRun},
                      WireField{"allow_overlaps", &R::allowOverlaps},
                      WireField{"imported", &R::imported},
                      WireField{"sessions", &R::sessions},
                      WireField{"approximate_sessions", &R::approximateSessions},
                      WireField{"placeholder_sessions", &R::placeholderSessions},
                      WireField{"seconds", &R::seconds},
                      WireField{"skipped", &R::skipped},
                      WireField{"projects", &R::projects},
                      WireField{"overlaps", &R::overlaps},
                      WireField{"problems", &R::problems}};
  }
};

}  // namespace lumetra
