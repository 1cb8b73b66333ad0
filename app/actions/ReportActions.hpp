#pragma once

#include "control/ReportRecords.hpp"
#include "platform/Instant.hpp"
#include "tracking/ControlHandler.hpp"

namespace lumetra {

// What the data says: the CSV of a range, and time per project by period. They only read, so
// they read on a store of their own (a second, read-only connection) on a thread of their own,
// and the owner thread never waits for a long one.
class ReportActions {
 public:
  // Days or weeks in one report at most: a table beyond that helps nobody, and each is a query.
  static constexpr std::size_t maxBuckets = 5000;

  ReportActions(Store& store, Calendar calendar) : store_(store), calendar_(std::move(calendar)) {}

  [[nodiscard]] ExportFile exportCSV(const ExportRequest& request, Instant now);
  [[nodiscard]] Report report(const ReportRequest& request, Instant now);

 private:
  Store& store_;
  Calendar calendar_;
};

}  // namespace lumetra
