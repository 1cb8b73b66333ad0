#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumetra {

// The desktop, over D-Bus, on one thread that owns every connection: the machine about to sleep
// or power off (logind's PrepareForSleep and PrepareForShutdown, with a delay inhibitor each so
// that the host's write lands first), notifications (org.freedesktop.Notifications) with a
// "Resume" action where the server has actions, the tray (a StatusNotifierItem with a dbusmenu
// menu, registered with the StatusNotifierWatcher whenever one runs), and how long the user has
// been away (IdleTime). A bus that goes away is connected to again, with growing pauses, and
// the tray registered again. Each piece stays quiet where its service is missing.
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
    // One click, or a panel's group of them; on the events thread.
    std::function<void(std::vector<TrayChoice> choices)> trayChosen;
  };

  explicit DesktopEvents(Handlers handlers);
  ~DesktopEvents();
  DesktopEvents(const DesktopEvents&) = delete;
  DesktopEvents& operator=(const DesktopEvents&) = delete;

  // Shows `body` as a notification from Lumetra, with a Resume action that runs `resume` on the
  // events thread, once at most. From any thread.
  void notify(const std::string& body, std::function<void()> resume);
  // Shows the tray (the first time) or brings it up to date. From any thread.
  void showTray(const Tray& tray);

  // How long the user has been away, asked now on the events thread; nothing when no source
  // answers, or none answers in time. From any thread but the events thread.
  [[nodiscard]] std::optional<double> idleSeconds();
  // The source that answered last, or nothing.
  [[nodiscard]] std::optional<std::string> idleSource() const;

 private:
  struct State;
  std::shared_ptr<State> state_;  // shared with the `done` handed out, which may outlive this
};

}  // namespace lumetra
