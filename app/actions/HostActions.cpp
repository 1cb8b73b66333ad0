#include "actions/HostActions.hpp"

namespace lumetra {

HostActions::HostActions(Tracker& tracker, Store& reader, SyncEngine& sync)
    : tracker_(tracker),
      control_(tracker),
      projects_(control_),
      sessions_(control_),
      settings_(tracker),
      reports_(reader, control_.calendar()),
      sync_(sync, tracker, control_.calendar()) {}

StopResult HostActions::stop(Instant now) {
  return std::get<StopResult>(control_.perform(ControlRequest(ControlCommand::stop), now));
}

SessionResult HostActions::resume(Instant now) {
  return std::get<SessionResult>(control_.perform(ControlRequest(ControlCommand::resume), now));
}

StartResult HostActions::start(const std::string& project, Instant now) {
  ControlRequest request(ControlCommand::start);
  request.project = project;
  return std::get<StartResult>(control_.perform(request, now));
}

StartResult HostActions::perform(const StartAt& request, Instant now) {
  ControlRequest start(ControlCommand::start);
  start.project = request.project;
  start.description = request.description;
  return control_.start(start, request.at, now);
}

StopResult HostActions::perform(const StopAt& request, Instant now) { return control_.stop(request.at, now); }

ImportReport HostActions::perform(const ImportFileRequest& request, Instant now) {
  return sessions_.importFile(request, now);
}

ProjectsReply HostActions::perform(const ProjectList& request, Instant) { return projects_.list(request); }
ProjectChange HostActions::perform(const ProjectAdd& request, Instant now) { return projects_.add(request, now); }
ProjectChange HostActions::perform(const ProjectRename& request, Instant) { return projects_.rename(request); }
ProjectChange HostActions::perform(const ProjectArchive& request, Instant now) { return projects_.archive(request, now); }
ProjectChange HostActions::perform(const ProjectUnarchive& request, Instant now) {
  return projects_.unarchive(request, now);
}
ProjectChange HostActions::perform(const ProjectDelete& request, Instant now) { return projects_.remove(request, now); }
ProjectChange HostActions::perform(const ProjectUsage& request, Instant) { return projects_.usage(request); }

SessionChange HostActions::perform(const SessionAdd& request, Instant now) { return sessions_.add(request, now); }
SessionChange HostActions::perform(const SessionEdit& request, Instant now) { return sessions_.edit(request, now); }
SessionChange HostActions::perform(const SessionSplit& request, Instant now) { return sessions_.split(request, now); }
SessionChange HostActions::perform(const SessionMerge& request, Instant now) { return sessions_.merge(request, now); }
SessionChange HostActions::perform(const SessionDelete& request, Instant now) { return sessions_.remove(request, now); }
SessionNeighbours HostActions::perform(const SessionNeighboursOf& request, Instant now) {
  return sessions_.neighbours(request, now);
}

IdleTimeout HostActions::perform(const IdleTimeoutSetting& request, Instant) { return settings_.idleTimeout(request); }
WebPortSetting HostActions::perform(const WebPortRequest& request, Instant) { return settings_.webPort(request); }
WindowAddress HostActions::perform(const WindowRequest&, Instant) { return settings_.window(); }

ExportFile HostActions::perform(const ExportRequest& request, Instant now) { return reports_.exportCSV(request, now); }
Report HostActions::perform(const ReportRequest& request, Instant now) { return reports_.report(request, now); }

SyncEnabled HostActions::perform(const SyncEnable& request, Instant now) { return sync_.enable(request, now); }
SyncStatus HostActions::perform(const SyncStatusRequest&, Instant now) { return sync_.status(now); }
SyncDone HostActions::perform(const SyncNow&, Instant now) { return sync_.now(now); }
SyncConflicts HostActions::perform(const SyncConflictsRequest&, Instant) { return sync_.conflicts(); }
SyncResolved HostActions::perform(const SyncResolve& request, Instant now) { return sync_.resolve(request, now); }
SyncForgotten HostActions::perform(const SyncForget& request, Instant now) { return sync_.forget(request, now); }
SyncDisabled HostActions::perform(const SyncDisable&, Instant) { return sync_.disable(); }
SyncOneTimerSetting HostActions::perform(const SyncOneTimer& request, Instant) { return sync_.oneTimer(request); }

}  // namespace lumetra
