#pragma once

// The records of the host actions: what each takes and gives, in the wire codec's form, for the
// actions themselves and for every front end that sends or shows them.
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "control/ProjectInfo.hpp"
#include "control/SessionInfo.hpp"
#include "platform/Instant.hpp"
#include "platform/WireField.hpp"

namespace lumetra {

// Projects

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

// Sessions

struct SessionAddRequest {
  std::string project;
  Instant start;
  Instant end;
  std::optional<std::string> description;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionAddRequest;
    return std::tuple{WireField{"project", &R::project}, WireField{"start", &R::start}, WireField{"end", &R::end},
                      WireField{"description", &R::description}};
  }
};

// What to change; what is left out stays.
struct SessionEditRequest {
  std::int64_t id = 0;
  std::optional<std::string> project;
  std::optional<Instant> start;
  std::optional<Instant> end;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionEditRequest;
    return std::tuple{WireField{"id", &R::id}, WireField{"project", &R::project}, WireField{"start", &R::start},
                      WireField{"end", &R::end}};
  }
};

struct SessionSplitRequest {
  std::int64_t id = 0;
  Instant at;
  std::optional<std::string> first;  // the parts' descriptions; the session's when left out
  std::optional<std::string> second;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionSplitRequest;
    return std::tuple{WireField{"id", &R::id}, WireField{"at", &R::at}, WireField{"first", &R::first},
                      WireField{"second", &R::second}};
  }
};

// The two sessions in either order; without a description the merged one joins theirs.
struct SessionMergeRequest {
  std::int64_t id = 0;
  std::int64_t nextId = 0;
  std::optional<std::string> description;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionMergeRequest;
    return std::tuple{WireField{"id", &R::id}, WireField{"next_id", &R::nextId},
                      WireField{"description", &R::description}};
  }
};

struct SessionIdRequest {
  std::int64_t id = 0;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"id", &SessionIdRequest::id}}; }
};

// A session after a change, or the two parts of a split.
struct SessionChange {
  std::optional<SessionInfo> session;
  std::optional<SessionInfo> first;
  std::optional<SessionInfo> second;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SessionChange;
    return std::tuple{WireField{"session", &R::session}, WireField{"first", &R::first},
                      WireField{"second", &R::second}};
  }
};

// A session and the neighbours it could be merged with; null where there is none.
struct SessionNeighbours {
  SessionInfo session;
  std::optional<SessionInfo> previous;
  std::optional<SessionInfo> next;

  static constexpr auto wireFields() {
    using R = SessionNeighbours;
    return std::tuple{WireField{"session", &R::session}, WireField{"previous", &R::previous},
                      WireField{"next", &R::next}};
  }
};

// Settings

// Shows the idle time-out, or sets it first.
struct IdleTimeoutSetting {
  std::optional<double> seconds;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"seconds", &IdleTimeoutSetting::seconds}}; }
};

// The idle time-out, and whether anything here tells when the user last gave input.
struct IdleTimeout {
  double seconds = 0;
  bool detected = false;

  static constexpr auto wireFields() {
    return std::tuple{WireField{"seconds", &IdleTimeout::seconds}, WireField{"detected", &IdleTimeout::detected}};
  }
};

struct WebPortRequest {
  std::optional<std::string> port;  // a number or "off"; shown when left out

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"port", &WebPortRequest::port}}; }
};

struct WebPortSetting {
  std::string port;                    // as stored: a number or "off"
  std::optional<std::string> serving;  // the port in use now; null while the window is off
  bool changed = false;

  static constexpr auto wireFields() {
    using R = WebPortSetting;
    return std::tuple{WireField{"port", &R::port}, WireField{"serving", &R::serving}, WireField{"changed", &R::changed}};
  }
};

struct WindowAddress {
  std::string url;

  static constexpr auto wireFields() { return std::tuple{WireField{"url", &WindowAddress::url}}; }
};

// Reports

struct ExportRequest {
  std::optional<std::string> range;  // an export range's label; All Time when left out

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"range", &ExportRequest::range}}; }
};

struct ExportFile {
  std::string csv;

  static constexpr auto wireFields() { return std::tuple{WireField{"csv", &ExportFile::csv}}; }
};

struct ReportRequest {
  std::optional<std::string> range;                  // This Week when left out
  std::optional<std::string> by;                     // project (the default), day or week
  std::optional<std::vector<std::string>> projects;  // only these

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = ReportRequest;
    return std::tuple{WireField{"range", &R::range}, WireField{"by", &R::by}, WireField{"projects", &R::projects}};
  }
};

// One project's whole seconds in a group.
struct ReportLine {
  std::string project;
  std::int64_t seconds = 0;
  bool running = false;

  static constexpr auto wireFields() {
    using R = ReportLine;
    return std::tuple{WireField{"project", &R::project}, WireField{"seconds", &R::seconds},
                      WireField{"running", &R::running}};
  }
};

// A day, a week, or the whole period, with its projects by time, most first.
struct ReportGroup {
  std::string label;
  Instant from;
  Instant to;
  std::vector<ReportLine> projects;
  std::int64_t seconds = 0;

  static constexpr auto wireFields() {
    using R = ReportGroup;
    return std::tuple{WireField{"label", &R::label}, WireField{"from", &R::from}, WireField{"to", &R::to},
                      WireField{"projects", &R::projects}, WireField{"seconds", &R::seconds}};
  }
};

// A project over the whole period, with its share of the total.
struct ReportShare {
  std::string project;
  std::int64_t seconds = 0;
  double share = 0;
  bool running = false;

  static constexpr auto wireFields() {
    using R = ReportShare;
    return std::tuple{WireField{"project", &R::project}, WireField{"seconds", &R::seconds},
                      WireField{"share", &R::share}, WireField{"running", &R::running}};
  }
};

struct Report {
  std::string range;
  std::string by;
  Instant from;
  Instant to;
  std::string firstDay;
  std::string lastDay;
  std::vector<ReportGroup> groups;  // only those with time in them
  std::vector<ReportShare> projects;
  std::int64_t seconds = 0;
  bool running = false;

  static constexpr auto wireFields() {
    using R = Report;
    return std::tuple{WireField{"range", &R::range},       WireField{"by", &R::by},
                      WireField{"from", &R::from},         WireField{"to", &R::to},
                      WireField{"first_day", &R::firstDay}, WireField{"last_day", &R::lastDay},
                      WireField{"groups", &R::groups},     WireField{"projects", &R::projects},
                      WireField{"seconds", &R::seconds},   WireField{"running", &R::running}};
  }
};

}  // namespace lumetra
