#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "actions/HostActions.hpp"
#include "platform/DesktopEvents.hpp"
#include "tracking/AutoStopEvent.hpp"

namespace lumetra {

// The host on the desktop: automatic stops said on standard output and shown as notifications
// with Resume, the session ended before sleep and power-off, the tray with its menu, and how
// long the user has been away. What the desktop asks for reaches the host's actions on the owner
// thread through `schedule`, as typed calls.
class HostDesktop {
 public:
  using Schedule = std::function<void(std::function<void()>)>;

  // `openWindow` opens the window in the browser; owner thread.
  HostDesktop(HostActions& actions, Schedule schedule, std::filesystem::path iconFolder,
              std::function<void()> openWindow);

  // Owner thread only, from here on.
  void announce(const AutoStopEvent& event);
  // Brings the tray up to date; cheap when nothing changed.
  void refreshTray(Instant now);
  void setWindowOpen(bool open) { windowOpen_ = open; }

  // How long the user has been away, asked of the desktop now; nothing where nothing tells.
  [[nodiscard]] std::optional<double> idleSeconds() { return events_.idleSeconds(); }
  [[nodiscard]] std::optional<std::string> idleSource() const { return events_.idleSource(); }

  // "Stopped “Garden” at 10:35, …": what the host says of an automatic stop.
  [[nodiscard]] static std::string whatStopped(HostActions& actions, const AutoStopEvent& event, Instant now);

 private:
  void onOwner(const char* what, std::function<void()> work);
  void chosen(const std::vector<DesktopEvents::TrayChoice>& choices);

  HostActions& actions_;
  Schedule schedule_;
  std::filesystem::path iconFolder_;
  std::function<void()> openWindow_;
  bool windowOpen_ = false;
  std::chrono::steady_clock::time_point lastOpened_{};
  DesktopEvents events_;  // last: its thread calls back into the members above
};

}  // namespace lumetra
