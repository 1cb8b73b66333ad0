#pragma once

#include <string>

#include "actions/ProjectActions.hpp"
#include "actions/ReportActions.hpp"
#include "actions/SessionActions.hpp"
#include "actions/SettingActions.hpp"
#include "actions/SyncActions.hpp"
#include "control/HostAPI.hpp"
#include "tracking/ControlHandler.hpp"
#include "tracking/Tracker.hpp"

namespace lumetra {

// The host's one typed API: the tool's commands and every menu action, each a call that takes
// a typed request and gives a typed result, carried out through the tracker so that its guards
// always apply. The sockets, the window and the desktop are front ends over it. Owner thread
// only, but for the report and the export, which read on `reader` (a read-only store on the
// same file) on the thread that owns it; a refusal is thrown (see ControlHandler::controlError).
class HostActions final : public HostAPI {
 public:
  HostActions(Tracker& tracker, Store& reader, SyncEngine& sync);

  [[nodiscard]] Tracker& tracker() { return tracker_; }
  [[nodiscard]] ControlHandler& control() { return control_; }
  [[nodiscard]] SettingActions& settings() { return settings_; }
  [[nodiscard]] SyncActions& sync() { return sync_; }

  // The tool's commands.
  ControlResult perform(const ControlRequest& request, Instant now) { return control_.perform(request, now); }
  StopResult stop(Instant now);
  SessionResult resume(Instant now);
  StartResult start(const std::string& project, Instant now);

  StartResult perform(const StartAt& request, Instant now) override;
  StopResult perform(const StopAt& request, Instant now) override;
  ImportReport perform(const ImportFileRequest& request, Instant now) override;
  ProjectsReply perform(const ProjectList& request, Instant now) override;
  ProjectChange perform(const ProjectAdd& request, Instant now) override;
  ProjectChange perform(const ProjectRename& request, Instant now) override;
  ProjectChange perform(const ProjectArchive& request, Instant now) override;
  ProjectChange perform(const ProjectUnarchive& request, Instant now) override;
  ProjectChange perform(const ProjectDelete& request, Instant now) override;
  ProjectChange perform(const ProjectUsage& request, Instant now) override;
  SessionChange perform(const SessionAdd& request, Instant now) override;
  SessionChange perform(const SessionEdit& request, Instant now) override;
  SessionChange perform(const SessionSplit& request, Instant now) override;
  SessionChange perform(const SessionMerge& request, Instant now) override;
  SessionChange perform(const SessionDelete& request, Instant now) override;
  SessionNeighbours perform(const SessionNeighboursOf& request, Instant now) override;
  IdleTimeout perform(const IdleTimeoutSetting& request, Instant now) override;
  WebPortSetting perform(const WebPortRequest& request, Instant now) override;
  WindowAddress perform(const WindowRequest& request, Instant now) override;
  ExportFile perform(const ExportRequest& request, Instant now) override;
  Report perform(const ReportRequest& request, Instant now) override;
  SyncEnabled perform(const SyncEnable& request, Instant now) override;
  SyncStatus perform(const SyncStatusRequest& request, Instant now) override;
  SyncDone perform(const SyncNow& request, Instant now) override;
  SyncConflicts perform(const SyncConflictsRequest& request, Instant now) override;
  SyncResolved perform(const SyncResolve& request, Instant now) override;
  SyncForgotten perform(const SyncForget& request, Instant now) override;
  SyncDisabled perform(const SyncDisable& request, Instant now) override;
  SyncOneTimerSetting perform(const SyncOneTimer& request, Instant now) override;

 private:
  Tracker& tracker_;
  ControlHandler control_;
  ProjectActions projects_;
  SessionActions sessions_;
  SettingActions settings_;
  ReportActions reports_;
  SyncActions sync_;
};

}  // namespace lumetra
