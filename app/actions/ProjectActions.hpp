#pragma once

#include <cstdint>

#include "control/ProjectRecords.hpp"
#include "platform/Instant.hpp"
#include "tracking/ControlHandler.hpp"

namespace lumetra {

// Managing projects by hand: every change through the tracker, so that archiving or deleting
// the running session's project stops it. Owner thread only.
class ProjectActions {
 public:
  explicit ProjectActions(ControlHandler& control) : control_(control), tracker_(control.tracker()) {}

  [[nodiscard]] ProjectsReply list(const ProjectList& request);
  ProjectChange add(const ProjectAdd& request, Instant now);
  ProjectChange rename(const ProjectRename& request);
  ProjectChange archive(const ProjectArchive& request, Instant now);
  ProjectChange unarchive(const ProjectUnarchive& request, Instant now);
  ProjectChange remove(const ProjectDelete& request, Instant now);
  [[nodiscard]] ProjectChange usage(const ProjectUsage& request);

 private:
  ProjectChange setArchived(const std::string& name, bool archived, Instant now);
  [[nodiscard]] std::int64_t sessionCount(std::int64_t projectId);

  ControlHandler& control_;
  Tracker& tracker_;
};

}  // namespace lumetra
