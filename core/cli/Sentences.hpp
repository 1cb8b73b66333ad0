#pragma once

#include <string>
#include <string_view>

#include "cli/Formatter.hpp"
#include "control/ProjectRecords.hpp"
#include "control/ReportRecords.hpp"
#include "control/SessionRecords.hpp"
#include "control/SettingRecords.hpp"
#include "control/SyncRecords.hpp"

// What the host's actions say when they succeed, for every front end that tells a person:
// lumetra-app's commands, the window, the tray. The tool's own results are the Formatter's.
namespace lumetra::Sentences {

using CommandLineTool::Formatter;

// Said at start, and by idle-timeout, where nothing tells when the user last gave input.
inline constexpr std::string_view unseenInput =
    "Lumetra can't see keyboard and mouse activity here, so sessions won't stop by themselves when you step away.";

[[nodiscard]] std::string projects(const ProjectsReply& reply, const Formatter& formatter);
[[nodiscard]] std::string projectAdded(const ProjectChange& change, const Formatter& formatter);
[[nodiscard]] std::string projectRenamed(const ProjectChange& change, const Formatter& formatter);
[[nodiscard]] std::string projectArchived(const ProjectChange& change, const Formatter& formatter);
[[nodiscard]] std::string projectUnarchived(const ProjectChange& change, const Formatter& formatter);
[[nodiscard]] std::string projectDeleted(const ProjectChange& change, const Formatter& formatter);

[[nodiscard]] std::string sessionAdded(const SessionChange& change, const Formatter& formatter);
[[nodiscard]] std::string sessionEdited(const SessionChange& change, const Formatter& formatter);
[[nodiscard]] std::string sessionSplit(const SessionChange& change, const Formatter& formatter);
[[nodiscard]] std::string sessionMerged(const SessionChange& change, const Formatter& formatter);
[[nodiscard]] std::string sessionDeleted(const SessionChange& change, const Formatter& formatter);
[[nodiscard]] std::string neighbours(const SessionNeighbours& found, const Formatter& formatter);

[[nodiscard]] std::string idleTimeout(const IdleTimeout& setting, const Formatter& formatter);
[[nodiscard]] std::string webPort(const WebPortSetting& setting, const Formatter& formatter);
[[nodiscard]] std::string window(const WindowAddress& window, const Formatter& formatter);
// A report as a table: a block per day or week (or one for the whole period), a project per
// line with its time and its share of the block, and the grand total.
[[nodiscard]] std::string report(const Report& report, const Formatter& formatter);

// Several computers.
[[nodiscard]] std::string syncEnabled(const SyncEnabled& enabled, const Formatter& formatter);
[[nodiscard]] std::string syncStatus(const SyncStatus& status, const Formatter& formatter);
[[nodiscard]] std::string syncDone(const SyncDone& done, const Formatter& formatter);
[[nodiscard]] std::string syncConflicts(const SyncConflicts& list, const Formatter& formatter);
[[nodiscard]] std::string syncResolved(const SyncResolved& resolved, const Formatter& formatter);
[[nodiscard]] std::string syncForgotten(const SyncForgotten& forgotten, const Formatter& formatter);
[[nodiscard]] std::string syncDisabled(const SyncDisabled& disabled, const Formatter& formatter);
[[nodiscard]] std::string syncOneTimer(const SyncOneTimerSetting& setting, const Formatter& formatter);
// "Desktop: 1,204 sessions, 1,180 already here, 24 new; 2 projects merged by name; 3 overlaps"
[[nodiscard]] std::string syncTally(const SyncTally& tally);

}  // namespace lumetra::Sentences
