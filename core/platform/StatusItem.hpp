#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/DesktopBus.hpp"
#include "platform/DesktopEvents.hpp"

namespace lumetra {

// The tray on the session bus: a StatusNotifierItem at /StatusNotifierItem and its menu, a
// com.canonical.dbusmenu at /MenuBar, registered with the StatusNotifierWatcher now and again
// whenever a watcher appears. Lives on the thread that owns the bus. What one call may ask is
// bounded (InvalidArgs beyond), and a group of clicks is chosen as one batch.
class StatusItem {
 public:
  using Choose = std::function<void(std::vector<DesktopEvents::TrayChoice>)>;

  StatusItem(sd_bus* bus, Choose choose);
  ~StatusItem();
  StatusItem(const StatusItem&) = delete;
  StatusItem& operator=(const StatusItem&) = delete;

  // Takes the new state; the icon, tooltip and menu follow, with their signals.
  void show(const DesktopEvents::Tray& tray);

 private:
  void registerWithWatcher();

  sd_bus* bus_;
  Choose choose_;
  std::string name_;
  DesktopEvents::Tray tray_;
  std::uint32_t revision_ = 1;
  std::array<BusSlot, 3> slots_;

  friend struct StatusItemCalls;
};

}  // namespace lumetra
