#include "platform/DesktopEvents.hpp"

namespace lumetra {

// The menu-bar host hears of sleep from the workspace and shows its own alerts.
struct DesktopEvents::State {};

DesktopEvents::DesktopEvents(Handlers) : state_(std::make_shared<State>()) {}
DesktopEvents::~DesktopEvents() = default;
void DesktopEvents::notify(const std::string&, std::uint64_t) {}
void DesktopEvents::showTray(const Tray&) {}

}  // namespace lumetra
