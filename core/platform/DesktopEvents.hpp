#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumetra {

// What the desktop tells the host, and what the host tells the desktop, over D-Bus on a thread
// of its own: the machine about to sleep or power off (logind's PrepareForSleep and
// PrepareForShutdown, with a delay inhibitor each so that the host's write lands first), and
// notifications (org.freedesktop.Notifications) with a "Resume" action where the server has
// actions, and the tray: a StatusNotifierItem with a dbusmenu menu, registered with the
// StatusNotifierWatcher whenever one runs. Each piece stays quiet where its service is missing.
class DesktopEvents {
 public:
  // What the tray shows.
  struct Tray {
    bool tracking = false;
    std::string line;                          // the running session, or that nothing runs
    std::string tooltip;                       // its project and time
    std::optional<std::string> resumeProject;  // what Resume would take up
    std::vector<std::string> projects;         // the active ones, to Start
    bool windowOpen = false;                   // whether "Open Lumetra" has a window to open
    std::string iconFolder;                    // where lumetra-tracking.svg and lumetra-stopped.svg are
    bool operator==(const Tray&) const = default;
  };
  // A choice from the tray's menu; `project` for start.
  struct TrayChoice {
    enum class Kind { stop, resume, start, open, quit };
    Kind kind = Kind::stop;
    std::string project;
  };

  // Called on the events thread. `done` releases the delay the host holds on sleep or power-off;
  // call it, from any thread, once the running session is ended.
  using Prepare = std::function<void(std::function<void()> done)>;
  struct Handlers {
    Prepare sleeping;
    Prepare poweringOff;
    // The user chose the action of the notification sent with `key`.
    std::function<void(std::uint64_t key)> resumeChosen;
    std::function<void(const TrayChoice& choice)> trayChosen;
  };

  explicit DesktopEvents(Handlers handlers);
  ~DesktopEvents();
  DesktopEvents(const DesktopEvents&) = delete;
  DesktopEvents& operator=(const DesktopEvents&) = delete;

  // Shows `body` as a notification from Lumetra, with a Resume action that reports `key`.
  // From any thread; sent on the events thread.
  void notify(const std::string& body, std::uint64_t key);
  // Shows the tray (the first time) or brings it up to date. From any thread.
  void showTray(const Tray& tray);

 private:
  struct State;
  std::shared_ptr<State> state_;  // shared with the `done` handed out, which may outlive this
};

}  // namespace lumetra
