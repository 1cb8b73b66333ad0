#pragma once

// The host's project actions: what each takes and answers, in the wire codec's form.
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "control/ProjectInfo.hpp"
#include "platform/WireField.hpp"

namespace lumetra {

struct ProjectList {
  std::optional<bool> all;  // archived ones too

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"all", &ProjectList::all}}; }
};

struct ProjectsReply {
  std::vector<ProjectInfo> projects;

  static constexpr auto wireFields() { return std::tuple{WireField{"projects", &ProjectsReply::projects}}; }
};

// One project, by the name a person gives (see ControlHandler::findProject). The tag tells the
// actions apart, so that each has a type, and a host call, of its own.
template <class Tag>
struct ProjectNamed {
  std::string name;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"name", &ProjectNamed::name}}; }
};
using ProjectAdd = ProjectNamed<struct ProjectAddTag>;
using ProjectArchive = ProjectNamed<struct ProjectArchiveTag>;
using ProjectUnarchive = ProjectNamed<struct ProjectUnarchiveTag>;
using ProjectDelete = ProjectNamed<struct ProjectDeleteTag>;
using ProjectUsage = ProjectNamed<struct ProjectUsageTag>;  // what deleting it would take along

struct ProjectRename {
  std::string name;
  std::string newName;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    return std::tuple{WireField{"name", &ProjectRename::name}, WireField{"new_name", &ProjectRename::newName}};
  }
};

// A project after a change, with what went with the change.
struct ProjectChange {
  ProjectInfo project;
  std::optional<std::string> oldName;          // rename
  std::optional<std::int64_t> deletedSessions;  // delete
  std::optional<std::int64_t> sessions;         // usage
  std::optional<bool> stoppedRunning;           // archive, unarchive, delete

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = ProjectChange;
    return std::tuple{WireField{"project", &R::project}, WireField{"old_name", &R::oldName},
                      WireField{"deleted_sessions", &R::deletedSessions}, WireField{"sessions", &R::sessions},
                      WireField{"stopped_running", &R::stoppedRunning}};
  }
};

}  // namespace lumetra
