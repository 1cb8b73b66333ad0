#include "desktop/HostDesktop.hpp"

#include "actions/Console.hpp"
#include "cli/Formatter.hpp"
#include "platform/ProcessInfo.hpp"
#include "tracking/WireRecords.hpp"

namespace lumetra {

using CommandLineTool::Formatter;

HostDesktop::HostDesktop(HostActions& actions, Schedule schedule, std::filesystem::path iconFolder,
                         std::function<void()> openWindow)
    : actions_(actions),
      schedule_(std::move(schedule)),
      iconFolder_(std::move(iconFolder)),
      openWindow_(std::move(openWindow)),
      events_(DesktopEvents::Handlers{
          [this](std::function<void()> done) {
            onOwner("Couldn't end the session before sleep", [this, done] {
              if (const auto event = actions_.tracker().sleeping(Instant::now())) announce(*event);
              done();
            });
          },
          [this](std::function<void()> done) {
            onOwner("Couldn't end the session before power-off", [this, done] {
              (void)actions_.tracker().stop(Instant::now(), EndReason::quit);
              done();
            });
          },
          [this](std::vector<DesktopEvents::TrayChoice> choices) {
            onOwner("Couldn't do that", [this, choices = std::move(choices)] { chosen(choices); });
          }}) {}

void HostDesktop::onOwner(const char* what, std::function<void()> work) {
  schedule_([this, what, work = std::move(work)] {
    try {
      work();
      refreshTray(Instant::now());
    } catch (const std::exception& error) {
      Console::complain(std::string(what) + ": " + describe(error));
    }
  });
}

std::string HostDesktop::whatStopped(HostActions& actions, const AutoStopEvent& event, Instant now) {
  const auto project = actions.tracker().store().project(event.projectId);
  const Formatter formatter(now, actions.control().calendar());
  const std::string name = curlyQuoted(project ? project->name : std::string("?"));
  const std::string at = " at " + formatter.time(event.endedAt);
  switch (event.reason) {
    case EndReason::asleep:
      return "Stopped " + name + at + ", when the computer went to sleep.";
    case EndReason::recovered:
      return "Stopped " + name + at + ", where it was last active before Lumetra closed.";
    case EndReason::switched:
      return "Stopped " + name + at + ": tracking started on " + event.by.value_or("another computer") + ".";
    default:
      return "Stopped " + name + at + ", the last input before " +
             Formatter::duration(static_cast<std::int64_t>(event.retracted)) + " without any.";
  }
}

void HostDesktop::announce(const AutoStopEvent& event) {
  const std::string sentence = whatStopped(actions_, event, Instant::now());
  Console::say(sentence);
  // The notification's Resume takes up this session, if it still may be.
  events_.notify(sentence, [this, event] {
    onOwner("Couldn't resume", [this, event] {
      const Instant now = Instant::now();
      Tracker& tracker = actions_.tracker();
      if (!tracker.canResume(event, now)) return;
      const WorkSession resumed = tracker.resume(event, now);
      const auto project = tracker.store().project(resumed.projectId);
      Console::say(Formatter(now, actions_.control().calendar())
                       .resume(SessionResult{WireRecords::sessionInfo(resumed, project ? project->name : "?", now)}));
    });
  });
}

// The tray's choices are the tool's commands, so the same rules and sentences apply.
void HostDesktop::chosen(const std::vector<DesktopEvents::TrayChoice>& choices) {
  using Kind = DesktopEvents::TrayChoice::Kind;
  for (const auto& choice : choices) {
    if (choice.kind == Kind::quit) return ProcessInfo::requestStop();
    if (choice.kind == Kind::open) {
      // A browser a second at most, however fast a panel (or anyone on the bus) clicks.
      const auto now = std::chrono::steady_clock::now();
      if (windowOpen_ && now - lastOpened_ >= std::chrono::seconds(1)) {
        lastOpened_ = now;
        openWindow_();
      }
      continue;
    }
    const Instant now = Instant::now();
    const Formatter formatter(now, actions_.control().calendar());
    try {
      switch (choice.kind) {
        case Kind::stop: Console::say(formatter.stop(actions_.stop(now))); break;
        case Kind::resume: Console::say(formatter.resume(actions_.resume(now))); break;
        default: Console::say(formatter.start(actions_.start(choice.project, now))); break;
      }
    } catch (const std::exception& error) {
      Console::complain(ControlHandler::controlError(error).message);
    }
  }
}

void HostDesktop::refreshTray(Instant now) {
  Tracker& tracker = actions_.tracker();
  Store& store = tracker.store();
  DesktopEvents::Tray tray;
  tray.tracking = tracker.isTracking();
  tray.iconFolder = iconFolder_.string();
  tray.windowOpen = windowOpen_;
  if (const auto& current = tracker.current()) {
    const auto project = store.project(current->projectId);
    tray.line = "Tracking " + (project ? project->name : std::string("?")) +
                (current->description ? " – " + *current->description : "") + ", " +
                Formatter::duration(static_cast<std::int64_t>(current->duration(now)));
    tray.tooltip = tray.line;
  } else {
    tray.line = tray.tooltip = "Not tracking";
    // A session running on another computer is the one to see.
    const auto elsewhere = actions_.sync().engine().elsewhere(actions_.control().calendar());
    if (!elsewhere.empty() && elsewhere.front().running) {
      const auto& running = *elsewhere.front().running;
      const auto since = running.find(" since ");
      tray.line = tray.tooltip = running.substr(0, since) + " on " + elsewhere.front().name + running.substr(since);
    }
  }
  if (const auto last = tracker.resumableSession(now)) {
    if (const auto project = store.project(last->projectId)) tray.resumeProject = project->name;
  }
  for (const auto& project : store.projects(false)) tray.projects.push_back(project.name);
  events_.showTray(tray);
}

}  // namespace lumetra
