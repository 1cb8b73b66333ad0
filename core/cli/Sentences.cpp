#include "cli/Sentences.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "platform/Error.hpp"
#include "platform/Numbers.hpp"
#include "platform/UnicodeText.hpp"

namespace lumetra::Sentences {

namespace {

std::string session(const SessionInfo& info, const Formatter& formatter) {
  return "session " + std::to_string(info.id) + " (" + info.project + ", " + formatter.time(info.start) + " to " +
         (info.end ? formatter.time(*info.end) : "now") + ")";
}

std::string stopped(const ProjectChange& change) {
  return change.stoppedRunning.value_or(false) ? " Its running session was stopped." : "";
}

std::string minutesText(double seconds) {
  char text[64];
  const double minutes = seconds / 60;
  std::snprintf(text, sizeof text, "%g minute%s", minutes, minutes == 1 ? "" : "s");
  return text;
}

}  // namespace

std::string projects(const ProjectsReply& reply, const Formatter& formatter) {
  return formatter.projects(ProjectsResult{reply.projects});
}

std::string projectAdded(const ProjectChange& change, const Formatter&) {
  return "Added project " + curlyQuoted(change.project.name) + ".";
}

std::string projectRenamed(const ProjectChange& change, const Formatter&) {
  return "Renamed " + curlyQuoted(change.oldName.value_or("")) + " to " + curlyQuoted(change.project.name) + ".";
}

std::string projectArchived(const ProjectChange& change, const Formatter&) {
  return "Archived " + curlyQuoted(change.project.name) + "." + stopped(change);
}

std::string projectUnarchived(const ProjectChange& change, const Formatter&) {
  return "Unarchived " + curlyQuoted(change.project.name) + ".";
}

std::string projectDeleted(const ProjectChange& change, const Formatter&) {
  const auto count = change.deletedSessions.value_or(0);
  return "Deleted " + curlyQuoted(change.project.name) + " and its " + std::to_string(count) + " session" +
         (count == 1 ? "" : "s") + "." + stopped(change);
}

std::string sessionAdded(const SessionChange& change, const Formatter& formatter) {
  return "Added " + session(change.session.value(), formatter) + ".";
}

std::string sessionEdited(const SessionChange& change, const Formatter& formatter) {
  return "Changed " + session(change.session.value(), formatter) + ".";
}

std::string sessionSplit(const SessionChange& change, const Formatter& formatter) {
  return "Split into " + session(change.first.value(), formatter) + " and " + session(change.second.value(), formatter) +
         ".";
}

std::string sessionMerged(const SessionChange& change, const Formatter& formatter) {
  return "Merged into " + session(change.session.value(), formatter) + ".";
}

std::string sessionDeleted(const SessionChange& change, const Formatter& formatter) {
  return "Deleted " + session(change.session.value(), formatter) + ".";
}

std::string neighbours(const SessionNeighbours& found, const Formatter& formatter) {
  std::string lines;
  if (found.previous) lines += "Can be merged with the previous " + session(*found.previous, formatter) + ".";
  if (found.next) {
    lines += (lines.empty() ? "" : "\n") + std::string("Can be merged with the next ") + session(*found.next, formatter) + ".";
  }
  if (lines.empty()) {
    lines = "No neighbour of " + session(found.session, formatter) +
            " can be merged with it: merging needs the same project and kind of times, next to each other and at "
            "most 5 minutes apart.";
  }
  return lines;
}

std::string idleTimeout(const IdleTimeout& setting, const Formatter&) {
  if (setting.off) return "Sessions don't stop for want of input; sleep still ends them. Give a number of minutes to turn it on.";
  if (setting.detected) return "Sessions stop after " + minutesText(setting.seconds) + " without input.";
  return "Sessions would stop after " + minutesText(setting.seconds) + " without input, but " + std::string(unseenInput);
}

std::string webPort(const WebPortSetting& setting, const Formatter&) {
  const std::string& port = setting.port;
  const std::string where = port == "off" ? "is off" : "uses port " + port;
  if (setting.changed) return "From Lumetra's next start, the window " + where + ".";
  if (setting.serving && *setting.serving != port) {
    return "The window is on port " + *setting.serving + " now; its setting is " + (port == "off" ? "off" : "port " + port) +
           ".";
  }
  return "The window " + where + ".";
}

std::string window(const WindowAddress& window, const Formatter&) { return "Lumetra's window: " + window.url; }

std::string report(const Report& report, const Formatter&) {
  const std::string days = report.firstDay == report.lastDay ? report.firstDay : report.firstDay + " to " + report.lastDay;
  const std::string period = report.range == days ? report.range : report.range + " (" + days + ")";
  if (report.groups.empty()) return "No time was tracked in " + period + ".";
  const bool grouped = report.by != "project";
  std::vector<std::array<std::string, 4>> rows;  // group, project, time, share
  for (const auto& group : report.groups) {
    bool opening = true;
    for (std::size_t i = 0; i < group.projects.size(); ++i) {
      const auto& line = group.projects[i];
      rows.push_back({grouped && opening ? group.label : "", line.project + (line.running ? " (running)" : ""),
                      Formatter::duration(line.seconds), std::to_string(line.percent) + "%"});
      opening = false;
    }
    if (grouped) rows.push_back({"", "Subtotal", Formatter::duration(group.seconds), ""});
  }
  rows.push_back({grouped ? "Total" : "", grouped ? "" : "Total", Formatter::duration(report.seconds), ""});
  // Padded by terminal columns, so that names in wide scripts line up too.
  std::array<std::size_t, 4> widths{};
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], UnicodeText::displayWidth(row[c]));
  }
  const auto padding = [&](const std::string& text, std::size_t c) {
    return std::string(widths[c] - UnicodeText::displayWidth(text), ' ');
  };
  std::string text = "Report for " + period + (grouped ? ", by " + report.by : "") + ":";
  for (const auto& row : rows) {
    std::string line = "\n  ";
    if (grouped) line += row[0] + padding(row[0], 0) + "  ";
    line += row[1] + padding(row[1], 1) + "  " + padding(row[2], 2) + row[2] + "  " + padding(row[3], 3) + row[3];
    text += Formatter::trimmingTrailingSpaces(line);
  }
  return text;
}

namespace {

std::string counted(std::int64_t count, const char* one, const char* many) {
  return Numbers::grouped(count) + " " + (count == 1 ? one : many);
}

constexpr std::string_view kSyncOff = "Sync is off. Turn it on with “lumetra-app sync enable FOLDER”.";

}  // namespace

std::string syncTally(const SyncTally& tally) {
  std::string line = tally.computer + ": " + counted(tally.sessions, "session", "sessions") + ", " +
                     Numbers::grouped(tally.alreadyHere) + " already here, " + Numbers::grouped(tally.added) + " new";
  if (tally.projectsMerged) line += "; " + counted(tally.projectsMerged, "project", "projects") + " merged by name";
  if (tally.overlaps) line += "; " + counted(tally.overlaps, "overlap", "overlaps");
  if (tally.conflicts) line += "; " + counted(tally.conflicts, "conflict", "conflicts");
  return line;
}

std::string syncEnabled(const SyncEnabled& enabled, const Formatter&) {
  if (enabled.already) {
    return "This computer, " + curlyQuoted(enabled.name) + ", already syncs through " + enabled.folder + ".";
  }
  std::string text = enabled.dryRun ? "If this computer, " + curlyQuoted(enabled.name) + ", joined " + enabled.folder + ":"
                                    : "This computer, " + curlyQuoted(enabled.name) + ", now syncs through " +
                                          enabled.folder + ".";
  if (enabled.computers.empty()) {
    text += enabled.dryRun ? " No other computer has written there yet."
                           : " No other computer has written there yet: run “lumetra-app sync enable FOLDER” on each "
                             "of them, with the folder as it is there.";
  }
  for (const auto& tally : enabled.computers) text += "\n  " + syncTally(tally);
  if (enabled.dryRun) text += "\nNothing was changed.";
  return text;
}

std::string syncStatus(const SyncStatus& status, const Formatter& formatter) {
  if (!status.enabled) return std::string(kSyncOff);
  std::string text = "This computer: " + status.name + " (" + status.computer.substr(0, 8) + ")\n";
  text += "Folder: " + status.folder + (status.engine == "Syncthing" ? " (kept by Syncthing)" : " (no sync engine found above it)") + "\n";
  if (status.computers.empty()) {
    text += "No other computer has written to the folder yet.";
  } else {
    text += "Other computers:";
    for (const auto& peer : status.computers) {
      text += "\n  " + peer.name + ": ";
      if (peer.forgotten) {
        text += "forgotten";
        continue;
      }
      if (peer.laterFormat) {
        text += "writes in a later format; update Lumetra here to read it";
        continue;
      }
      text += peer.lastWritten ? "last wrote " + formatter.time(*peer.lastWritten) : "nothing written yet";
      text += peer.behind ? ", " + counted(peer.behind, "record", "records") + " not read yet" : ", all read";
      if (peer.running) text += "; tracking " + *peer.running;
      if (peer.clockAhead > 0) {
        text += "; its clock is " + Numbers::grouped(static_cast<std::int64_t>(peer.clockAhead / 60 + 0.5)) +
                " minutes ahead";
      }
    }
  }
  text += "\nWaiting to be written: " + counted(status.pending, "change", "changes");
  if (status.conflicts) text += "\nConflicts: " + Numbers::grouped(status.conflicts) + " (lumetra-app sync conflicts)";
  if (status.badLines) text += "\nLines that couldn't be read: " + Numbers::grouped(status.badLines);
  if (!status.oneTimer) text += "\nOne timer everywhere: off";
  if (status.problem) text += "\nLast sync: " + *status.problem;
  return text;
}

std::string syncDone(const SyncDone& done, const Formatter&) {
  return "Wrote " + counted(done.written, "record", "records") + " and read " + Numbers::grouped(done.read) + "." +
         (done.rescanned ? " Syncthing was asked to look at the folder." : "");
}

std::string syncConflicts(const SyncConflicts& list, const Formatter&) {
  if (list.conflicts.empty()) return "No conflicts.";
  std::string text;
  for (const auto& conflict : list.conflicts) {
    std::string fixes;
    for (std::size_t i = 0; i < conflict.fixes.size(); ++i) fixes += (i ? " | " : "") + conflict.fixes[i];
    if (!text.empty()) text += "\n";
    text += std::to_string(conflict.id) + "  " + conflict.text + "\n   lumetra-app sync resolve " +
            std::to_string(conflict.id) + " " + fixes;
  }
  return text;
}

std::string syncResolved(const SyncResolved& resolved, const Formatter&) { return resolved.text; }

std::string syncForgotten(const SyncForgotten& forgotten, const Formatter&) {
  return "Forgot " + curlyQuoted(forgotten.name) + "." +
         (forgotten.closed ? " Its running session in " + curlyQuoted(*forgotten.closed) + " ends at its last activity."
                           : "");
}

std::string syncDisabled(const SyncDisabled& disabled, const Formatter&) {
  if (!disabled.was) return "Sync was already off.";
  return "This computer no longer syncs through " + disabled.folder + ". Everything stays here, and in the folder.";
}

std::string syncOneTimer(const SyncOneTimerSetting& setting, const Formatter&) {
  return setting.on ? "One timer everywhere: on. Starting a session here stops one running on another computer."
                    : "One timer everywhere: off. Each computer tracks on its own.";
}

}  // namespace lumetra::Sentences
