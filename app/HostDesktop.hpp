#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "platform/DesktopEvents.hpp"
#include "tracking/Tracker.hpp"
#include "web/WebActions.hpp"

namespace lumetra {

// The host on the desktop: automatic stops said on standard output and shown as notifications
// with Resume, the session ended before sleep and power-off, and the tray with its menu. The
// desktop's news reaches the tracker on the owner thread through `schedule`, like every request;
// the tray's choices go through the same control commands as the tool's.
class HostDesktop {
 public:
  using Schedule = std::function<void(std::function<void()>)>;

  HostDesktop(Tracker& tracker, WebActions& actions, Schedule schedule, std::filesystem::path iconFolder);

  // Owner thread only, from here on.
  void announce(const AutoStopEvent& event);
  // Brings the tray up to date; cheap when nothing changed.
  void refreshTray(Instant now);
  void setWindow(std::string address) { windowAddress_ = std::move(address); }

  // "Stopped “Garden” at 10:35, …": what the host says of an automatic stop.
  [[nodiscard]] static std::string whatStopped(Store& store, const AutoStopEvent& event);

 private:
  void onOwner(const char* what, std::function<void()> work);
  void chosen(const DesktopEvents::TrayChoice& choice);

  Tracker& tracker_;
  WebActions& actions_;
  Schedule schedule_;
  std::filesystem::path iconFolder_;
  std::string windowAddress_;
  std::map<std::uint64_t, AutoStopEvent> announced_;
  DesktopEvents events_;  // last: its thread calls back into the members above
};

}  // namespace lumetra
