#include "HostDesktop.hpp"

#include <iostream>

#include "cli/Formatter.hpp"
#include "control/SessionResult.hpp"
#include "control/WireCoding.hpp"
#include "platform/ProcessInfo.hpp"
#include "tracking/WireRecords.hpp"

namespace lumetra {

namespace {

// Notifications remembered for their Resume action.
constexpr std::size_t kRemembered = 32;

void say(const std::string& line) { std::cout << line << std::endl; }
void complain(const std::string& line) { std::cerr << "lumetra-app: " << line << std::endl; }

std::string controlRequest(const char* command, const std::string& project = {}) {
  JSON request = JSON::object();
  request["version"] = ControlProtocol::version;
  request["command"] = command;
  if (!project.empty()) request["project"] = project;
  return WireCoding::compact(request);
}

}  // namespace

HostDesktop::HostDesktop(Tracker& tracker, WebActions& actions, Schedule schedule, std::filesystem::path iconFolder)
    : tracker_(tracker),
      actions_(actions),
      schedule_(std::move(schedule)),
      iconFolder_(std::move(iconFolder)),
      events_(DesktopEvents::Handlers{
          [this](std::function<void()> done) {
            onOwner("Couldn't end the session before sleep", [this, done] {
              if (const auto event = tracker_.sleeping(Instant::now())) announce(*event);
              done();
            });
          },
          [this](std::function<void()> done) {
            onOwner("Couldn't end the session before power-off", [this, done] {
              (void)tracker_.stop(Instant::now(), EndReason::quit);
              done();
            });
          },
          [this](std::uint64_t key) {
            onOwner("Couldn't resume", [this, key] {
              const Instant now = Instant::now();
              const auto it = announced_.find(key);
              if (it == announced_.end() || !tracker_.canResume(it->second, now)) return;
              const WorkSession resumed = tracker_.resume(it->second, now);
              const auto project = tracker_.store().project(resumed.projectId);
              say(CommandLineTool::Formatter(now, Calendar::current())
                      .resume(SessionResult{WireRecords::sessionInfo(resumed, project ? project->name : "?", now)}));
            });
          },
          [this](const DesktopEvents::TrayChoice& choice) {
            onOwner("Couldn't do that", [this, choice] { chosen(choice); });
          }}) {}

void HostDesktop::onOwner(const char* what, std::function<void()> work) {
  schedule_([this, what, work = std::move(work)] {
    try {
      work();
      refreshTray(Instant::now());
    } catch (const std::exception& error) {
      complain(std::string(what) + ": " + describe(error));
    }
  });
}

std::string HostDesktop::whatStopped(Store& store, const AutoStopEvent& event) {
  const auto project = store.project(event.projectId);
  const CommandLineTool::Formatter formatter(Instant::now(), Calendar::current());
  const std::string name = "“" + (project ? project->name : std::string("?")) + "”";
  const std::string at = " at " + formatter.time(event.endedAt);
  switch (event.reason) {
    case EndReason::asleep:
      return "Stopped " + name + at + ", when the computer went to sleep.";
    case EndReason::recovered:
      return "Stopped " + name + at + ", where it was last active before Lumetra closed.";
    default:
      return "Stopped " + name + at + ", the last input before " +
             CommandLineTool::Formatter::duration(static_cast<std::int64_t>(event.retracted)) + " without any.";
  }
}

void HostDesktop::announce(const AutoStopEvent& event) {
  const std::string sentence = whatStopped(tracker_.store(), event);
  say(sentence);
  const std::uint64_t key = announced_.empty() ? 1 : announced_.rbegin()->first + 1;
  announced_[key] = event;
  if (announced_.size() > kRemembered) announced_.erase(announced_.begin());
  events_.notify(sentence, key);
}

// The tray's choices are the tool's commands, so the same rules and sentences apply.
void HostDesktop::chosen(const DesktopEvents::TrayChoice& choice) {
  using Kind = DesktopEvents::TrayChoice::Kind;
  if (choice.kind == Kind::quit) return ProcessInfo::requestStop();
  if (choice.kind == Kind::open) {
    if (!windowAddress_.empty()) (void)ProcessInfo::launch("xdg-open", {windowAddress_});
    return;
  }
  const char* command = choice.kind == Kind::stop ? "stop" : choice.kind == Kind::resume ? "resume" : "start";
  const JSON reply = WireCoding::parse(actions_.control(controlRequest(command, choice.kind == Kind::start ? choice.project : ""), Instant::now()));
  if (reply.value("ok", false)) return say(reply.value("text", ""));
  complain(reply.at("error").at("message").get<std::string>());
}

void HostDesktop::refreshTray(Instant now) {
  Store& store = tracker_.store();
  DesktopEvents::Tray tray;
  tray.tracking = tracker_.isTracking();
  tray.iconFolder = iconFolder_.string();
  tray.windowOpen = !windowAddress_.empty();
  const CommandLineTool::Formatter formatter(now, Calendar::current());
  if (const auto& current = tracker_.current()) {
    const auto project = store.project(current->projectId);
    tray.line = "Tracking " + (project ? project->name : std::string("?")) +
                (current->description ? " – " + *current->description : "") + ", " +
                CommandLineTool::Formatter::duration(static_cast<std::int64_t>(current->duration(now)));
    tray.tooltip = tray.line;
  } else {
    tray.line = tray.tooltip = "Not tracking";
  }
  if (const auto last = tracker_.resumableSession(now)) {
    if (const auto project = store.project(last->projectId)) tray.resumeProject = project->name;
  }
  for (const auto& project : store.projects(false)) tray.projects.push_back(project.name);
  events_.showTray(tray);
}

}  // namespace lumetra
