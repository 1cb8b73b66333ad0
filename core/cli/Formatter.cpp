#include "cli/Formatter.hpp"

#include "platform/PlatformWording.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "cli/CommandLineTool.hpp"
#include "platform/UnicodeText.hpp"
#include "store/SessionTimes.hpp"

namespace lumetra::CommandLineTool {

namespace {

std::string join(const std::vector<std::string>& lines) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += '\n';
    out += lines[i];
  }
  return out;
}

// "1 session", "2 sessions".
std::string counted(std::int64_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

std::string padRight(const std::string& text, std::size_t width) {
  const std::size_t length = UnicodeText::graphemeCount(text);
  return length >= width ? text : text + std::string(width - length, ' ');
}

std::string padLeft(const std::string& text, std::size_t width) {
  const std::size_t length = UnicodeText::graphemeCount(text);
  return length >= width ? text : std::string(width - length, ' ') + text;
}

std::size_t widest(const std::vector<std::string>& texts) {
  std::size_t width = 0;
  for (const auto& text : texts) width = std::max(width, UnicodeText::graphemeCount(text));
  return width;
}

void addDescription(std::vector<std::string>& lines, const std::optional<std::string>& description) {
  if (description) lines.push_back("  " + Formatter::oneLine(*description));
}

}  // namespace

Formatter::Formatter(Instant now, Calendar calendar, std::string clockPattern, std::string dayPattern)
    : now_(now),
      calendar_(std::move(calendar)),
      clockFormat_(std::move(clockPattern), calendar_),
      dayFormat_(std::move(dayPattern), calendar_) {}

std::string Formatter::told(ControlCommand command, const ControlResult& result) const {
  switch (command) {
    case ControlCommand::status: return status(std::get<StatusResult>(result));
    case ControlCommand::projects: return projects(std::get<ProjectsResult>(result));
    case ControlCommand::start: return start(std::get<StartResult>(result));
    case ControlCommand::stop: return stop(std::get<StopResult>(result));
    case ControlCommand::resume: return resume(std::get<SessionResult>(result));
    case ControlCommand::describe: return describe(std::get<SessionResult>(result));
    case ControlCommand::sessions: return sessions(std::get<SessionsResult>(result));
    case ControlCommand::importSessions: break;
  }
  return importReport(std::get<ImportReport>(result));
}

std::string Formatter::time(Instant instant) const {
  if (calendar_.isSameDay(instant, now_)) return clockFormat_.format(instant);
  return dayFormat_.format(instant) + " " + clockFormat_.format(instant);
}

std::string Formatter::duration(std::int64_t seconds) {
  const auto minutes = static_cast<long long>(std::round(static_cast<double>(std::max<std::int64_t>(seconds, 0)) / 60.0));
  if (minutes < 60) return std::to_string(minutes) + "m";
  char text[48];
  const int length = std::snprintf(text, sizeof text, "%lldh %02lldm", minutes / 60, minutes % 60);
  return std::string(text, static_cast<std::size_t>(length));
}

std::string Formatter::oneLine(std::string_view text) {
  std::string out;
  for (const auto& piece : UnicodeText::splitLines(text)) {
    if (piece.empty()) continue;
    if (!out.empty()) out += ' ';
    out += piece;
  }
  return out;
}

std::string Formatter::trimmingTrailingSpaces(std::string_view line) {
  const auto end = line.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : line.substr(0, end + 1));
}

std::string Formatter::status(const StatusResult& result) const {
  std::vector<std::string> lines;
  if (const auto& current = result.current) {
    lines.push_back("Tracking " + current->project + " since " + time(current->start) + " (" +
                    duration(current->durationSeconds) + "), session " + std::to_string(current->id));
    addDescription(lines, current->description);
  } else {
    lines.emplace_back("Not tracking");
    if (const auto& last = result.lastSession) {
      lines.push_back("Last session: " + last->project + ", ended " + time(last->end) + "; can be resumed until " +
                      time(last->resumableUntil) + " with “" + std::string(name) + " resume”");
      addDescription(lines, last->description);
    }
  }
  lines.push_back("Today: " + duration(result.todaySeconds));
  std::vector<std::string> names;
  for (const auto& total : result.today) names.push_back(total.project);
  const std::size_t width = widest(names);
  for (const auto& total : result.today) {
    lines.push_back("  " + padRight(total.project, width) + "  " + duration(total.seconds));
  }
  return join(lines);
}

std::string Formatter::projects(const ProjectsResult& result) const {
  if (result.projects.empty()) return PlatformWording::worded("No projects. Create one in Lumetra with New Project…");
  std::vector<std::string> lines;
  for (const auto& project : result.projects) lines.push_back(project.name + (project.archived ? " (archived)" : ""));
  return join(lines);
}

std::string Formatter::start(const StartResult& result) const {
  const auto& session = result.session;
  if (!result.started) {
    return "Already tracking " + session.project + " since " + time(session.start) + " (" +
           duration(session.durationSeconds) + ")";
  }
  std::vector<std::string> lines;
  if (const auto& stopped = result.stopped) {
    lines.push_back("Stopped " + stopped->project + " (" + duration(stopped->durationSeconds) + ")");
  }
  lines.push_back("Started " + session.project + " at " + time(session.start) + " (session " +
                  std::to_string(session.id) + ")");
  addDescription(lines, session.description);
  return join(lines);
}

std::string Formatter::stop(const StopResult& result) const {
  const auto& session = result.session;
  if (result.discarded) return "Stopped " + session.project + ". It ran for under a second, so it wasn't kept.";
  return "Stopped " + session.project + " at " + (session.end ? time(*session.end) : "now") + " (" +
         duration(session.durationSeconds) + ")";
}

std::string Formatter::resume(const SessionResult& result) const {
  const auto& session = result.session;
  std::vector<std::string> lines{"Resumed " + session.project + " at " + time(session.start) + " (session " +
                                 std::to_string(session.id) + ")"};
  addDescription(lines, session.description);
  return join(lines);
}

std::string Formatter::describe(const SessionResult& result) const {
  const auto& session = result.session;
  const std::string label =
      session.project + ", " + time(session.start) + " to " + (session.end ? time(*session.end) : "now");
  if (!session.description) {
    return "Removed the description of session " + std::to_string(session.id) + " (" + label + ")";
  }
  std::vector<std::string> lines{"Described session " + std::to_string(session.id) + " (" + label + ")"};
  addDescription(lines, session.description);
  return join(lines);
}

std::string Formatter::sessions(const SessionsResult& result) const {
  if (result.sessions.empty()) return "No sessions";
  constexpr std::size_t kColumns = 7;
  std::vector<std::array<std::string, kColumns>> rows{{"ID", "DATE", "START", "END", "TIME", "PROJECT", "DESCRIPTION"}};
  for (const auto& s : result.sessions) {
    rows.push_back({std::to_string(s.id), dayFormat_.format(s.start), clockFormat_.format(s.start),
                    s.end ? clockFormat_.format(*s.end) : "now", duration(s.durationSeconds), s.project,
                    s.description ? oneLine(*s.description) : ""});
  }
  std::array<std::size_t, kColumns> widths{};
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < kColumns; ++c) widths[c] = std::max(widths[c], UnicodeText::graphemeCount(row[c]));
  }
  std::vector<std::string> lines;
  for (const auto& row : rows) {
    std::string line = padLeft(row[0], widths[0]);
    for (std::size_t c = 1; c + 1 < kColumns; ++c) line += "  " + padRight(row[c], widths[c]);
    line += "  " + row[kColumns - 1];
    lines.push_back(trimmingTrailingSpaces(line));
  }
  return join(lines);
}

std::string Formatter::importReport(const ImportReport& report) const {
  const std::string summary = counted(report.sessions, "session") + " (" + duration(report.seconds) + ")";
  const bool refused = !report.problems.empty() || (!report.allowOverlaps && !report.overlaps.empty());
  const std::string why = !report.problems.empty() ? ". Fix the problems below first."
                                                   : ", because some rows overlap recorded time or each other.";
  std::vector<std::string> lines;
  if (report.imported) {
    lines.push_back(report.sessions == 0 ? "Nothing to import." : "Imported " + summary + ".");
  } else if (!report.dryRun) {
    lines.push_back("Nothing was imported" + why);
  } else if (refused) {
    lines.push_back("Nothing would be imported" + why);
  } else {
    lines.push_back(report.sessions == 0 ? "Nothing to import."
                                         : "Would import " + summary + ". " + dryRunEnd_);
  }
  if (report.skipped > 0) {
    lines.push_back("Skipped " + counted(report.skipped, "row") + " with source IDs imported before.");
  }
  // The estimated times: approximate, then placeholder, where there are any.
  for (const auto& [times, count] : {std::pair{SessionTimes::approximate, report.approximateSessions},
                                     std::pair{SessionTimes::placeholder, report.placeholderSessions}}) {
    if (count <= 0) continue;
    lines.push_back((count == 1 ? std::string("1 session has") : std::to_string(count) + " sessions have") + " " +
                    std::string(rawValue(times)) + " times.");
  }
  if (!report.projects.empty()) {
    lines.emplace_back();
    lines.emplace_back("Projects:");
    std::vector<std::string> names, counts;
    for (const auto& project : report.projects) {
      names.push_back(project.project + (project.isNew ? " (new)" : project.archived ? " (archived)" : ""));
      counts.push_back(counted(project.sessions, "session"));
    }
    const std::size_t nameWidth = widest(names), countWidth = widest(counts);
    for (std::size_t i = 0; i < report.projects.size(); ++i) {
      lines.push_back("  " + padRight(names[i], nameWidth) + "  " + padLeft(counts[i], countWidth) + "  " +
                      duration(report.projects[i].seconds));
    }
  }
  if (!report.overlaps.empty()) {
    lines.emplace_back();
    lines.emplace_back(report.imported        ? "Overlaps (imported anyway, so that time counts twice):"
                       : report.allowOverlaps ? "Overlaps (allowed, so that time would count twice):"
                                              : "Overlaps (refused; add --allow-overlaps to import them anyway):");
    for (const auto& overlap : report.overlaps) {
      const std::string other = overlap.otherLine   ? "line " + std::to_string(*overlap.otherLine)
                                : overlap.sessionId ? "session " + std::to_string(*overlap.sessionId)
                                                    : "a session";
      lines.push_back("  Line " + std::to_string(overlap.line) + " overlaps " + other + ": " + overlap.project + ", " +
                      time(overlap.start) + " to " + (overlap.end ? time(*overlap.end) : "now"));
    }
  }
  if (!report.problems.empty()) {
    lines.emplace_back();
    lines.emplace_back("Problems:");
    for (const auto& problem : report.problems) {
      lines.push_back("  Line " + std::to_string(problem.line) + ": " + oneLine(problem.message));
    }
  }
  return join(lines);
}

}  // namespace lumetra::CommandLineTool
