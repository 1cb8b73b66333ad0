#pragma once

#include "control/ProjectRecords.hpp"
#include "control/ReportRecords.hpp"
#include "control/SessionRecords.hpp"
#include "control/SettingRecords.hpp"
#include "control/SyncRecords.hpp"
#include "control/TrackingRecords.hpp"
#include "control/ImportReport.hpp"
#include "control/StartResult.hpp"
#include "control/StopResult.hpp"
#include "platform/Instant.hpp"

namespace lumetra {

// The host's actions beyond the tool's commands, one typed call each: what a menu offers, for
// lumetra-app's commands, the window and the tray alike. A refusal is thrown (ControlError,
// StoreError, …) and reaches a client as ControlHandler::controlError maps it. The host
// implements it on its owner thread; the command table serves it from the wire.
class HostAPI {
 public:
  virtual ~HostAPI() = default;

  virtual StartResult perform(const StartAt& request, Instant now) = 0;
  virtual StopResult perform(const StopAt& request, Instant now) = 0;
  virtual ImportReport perform(const ImportFileRequest& request, Instant now) = 0;

  virtual ProjectsReply perform(const ProjectList& request, Instant now) = 0;
  virtual ProjectChange perform(const ProjectAdd& request, Instant now) = 0;
  virtual ProjectChange perform(const ProjectRename& request, Instant now) = 0;
  virtual ProjectChange perform(const ProjectArchive& request, Instant now) = 0;
  virtual ProjectChange perform(const ProjectUnarchive& request, Instant now) = 0;
  virtual ProjectChange perform(const ProjectDelete& request, Instant now) = 0;
  virtual ProjectChange perform(const ProjectUsage& request, Instant now) = 0;

  virtual SessionChange perform(const SessionAdd& request, Instant now) = 0;
  virtual SessionChange perform(const SessionEdit& request, Instant now) = 0;
  virtual SessionChange perform(const SessionSplit& request, Instant now) = 0;
  virtual SessionChange perform(const SessionMerge& request, Instant now) = 0;
  virtual SessionChange perform(const SessionDelete& request, Instant now) = 0;
  virtual SessionNeighbours perform(const SessionNeighboursOf& request, Instant now) = 0;

  virtual IdleTimeout perform(const IdleTimeoutSetting& request, Instant now) = 0;
  virtual WebPortSetting perform(const WebPortRequest& request, Instant now) = 0;
  virtual WindowAddress perform(const WindowRequest& request, Instant now) = 0;

  virtual ExportFile perform(const ExportRequest& request, Instant now) = 0;
  virtual Report perform(const ReportRequest& request, Instant now) = 0;

  virtual SyncEnabled perform(const SyncEnable& request, Instant now) = 0;
  virtual SyncStatus perform(const SyncStatusRequest& request, Instant now) = 0;
  virtual SyncDone perform(const SyncNow& request, Instant now) = 0;
  virtual SyncConflicts perform(const SyncConflictsRequest& request, Instant now) = 0;
  virtual SyncResolved perform(const SyncResolve& request, Instant now) = 0;
  virtual SyncForgotten perform(const SyncForget& request, Instant now) = 0;
  virtual SyncDisabled perform(const SyncDisable& request, Instant now) = 0;
  virtual SyncOneTimerSetting perform(const SyncOneTimer& request, Instant now) = 0;
};

}  // namespace lumetra
