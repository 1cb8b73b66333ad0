#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "control/ProjectInfo.hpp"
#include "platform/Instant.hpp"
#include "tracking/ControlHandler.hpp"

namespace lumetra {

struct ProjectsRequest {
  std::optional<bool> all;  // archived ones too

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"all", &ProjectsRequest::all}}; }
};

struct ProjectsReply {
  std::vector<ProjectInfo> projects;

  static constexpr auto wireFields() { return std::tuple{WireField{"projects", &ProjectsReply::projects}}; }
};

// One project by the name a person gives (see ControlHandler::findProject); a new name to rename it.
struct ProjectRequest {
  std::string name;
  std::optional<std::string> newName;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    return std::tuple{WireField{"name", &ProjectRequest::name}, WireField{"new_name", &ProjectRequest::newName}};
  }
};

// A project after a change, with what went with the change.
struct ProjectChange {
  ProjectInfo project;
  std::optional<std::string> oldName;          // rename
  std::optional<std::int64_t> deletedSessions;  // delete
  std::optional<std::int64_t> sessions;         // usage: what deleting it would take along
  std::optional<bool> stoppedRunning;           // archive, unarchive, delete

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = ProjectChange;
    return std::tuple{WireField{"project", &R::project}, WireField{"old_name", &R::oldName},
                      WireField{"deleted_sessions", &R::deletedSessions}, WireField{"sessions", &R::sessions},
                      WireField{"stopped_running", &R::stoppedRunning}};
  }
};

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
