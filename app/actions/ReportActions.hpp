#pragma once

#include "control/ReportRecords.hpp"
#include "platform/Instant.hpp"
#include "tracking/ControlHandler.hpp"

namespace lumetra {

// What the data says: the CSV of a range, and time per project by period. Owner thread only.
class ReportActions {
 public:
  explicit ReportActions(ControlHandler& control) : control_(control), store_(control.tracker().store()) {}

  [[nodiscard]] ExportFile exportCSV(const ExportRequest& request, Instant now);
  [[nodiscard]] Report report(const ReportRequest& request, Instant now);

 private:
  ControlHandler& control_;
  Store& store_;
};

}  // namespace lumetra
