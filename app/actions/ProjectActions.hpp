#pragma once

#include <cstdint>

#include "actions/ActionRecords.hpp"
#include "platform/Instant.hpp"
#include "tracking/ControlHandler.hpp"

namespace lumetra {

// Managing projects by hand: every change through the tracker, so that archiving or deleting
// the running session's project stops it. Owner thread only.
class ProjectActions {
 public:
  explicit ProjectActions(ControlHandler& control) : control_(control), tracker_(control.tracker()) {}

  [[nodiscard]] ProjectsReply list(const ProjectsRequest& request);
  ProjectChange add(const ProjectRequest& request, Instant now);
  ProjectChange rename(const ProjectRequest& request);
  ProjectChange archive(const ProjectRequest& request, Instant now);
  ProjectChange unarchive(const ProjectRequest& request, Instant now);
  ProjectChange remove(const ProjectRequest& request, Instant now);
  [[nodiscard]] ProjectChange usage(const ProjectRequest& request);

 private:
  ProjectChange setArchived(const ProjectRequest& request, bool archived, Instant now);
  [[nodiscard]] std::int64_t sessionCount(std::int64_t projectId);

  ControlHandler& control_;
  Tracker& tracker_;
};

}  // namespace lumetra
