#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Instant.hpp"
#include "store/ImportFile.hpp"
#include "store/ImportPlan.hpp"
#include "control/ImportReport.hpp"
#include "store/Project.hpp"
#include "store/WorkSession.hpp"

namespace lumetra {

// Decides what an import would do against what is stored, without writing anything: which rows
// become sessions in which projects, which were imported before, which are refused and which
// overlap. The store runs it inside the transaction that writes the plans.
class ImportPlanner {
 public:
  // What planning reads of the store.
  struct Stored {
    std::vector<Project> projects;  // archived ones included
    // Whether a source ID was imported before.
    std::function<bool(const std::string& sourceId)> sourceImported;
    // Stored sessions sharing time with [start, end), oldest first; the open one ends at now.
    std::function<std::vector<WorkSession>(Instant start, Instant end)> overlapping;
  };
  struct Outcome {
    std::vector<ImportPlan> plans;  // in file order
    ImportReport report;            // `imported` still false
  };

  // The file's rows move into the plans.
  [[nodiscard]] static Outcome plan(ImportFile file, bool allowOverlaps, bool dryRun, const Stored& stored,
                                    Instant now);
};

}  // namespace lumetra
