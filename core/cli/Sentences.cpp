#include "cli/Sentences.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "platform/Error.hpp"
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
    for (const auto& line : group.projects) {
      char share[16];
      std::snprintf(share, sizeof share, "%.0f%%",
                    group.seconds > 0 ? 100.0 * static_cast<double>(line.seconds) / static_cast<double>(group.seconds) : 0.0);
      rows.push_back({grouped && opening ? group.label : "", line.project + (line.running ? " (running)" : ""),
                      Formatter::duration(line.seconds), share});
      opening = false;
    }
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

}  // namespace lumetra::Sentences
