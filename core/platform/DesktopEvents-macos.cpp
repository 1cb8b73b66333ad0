#include "platform/DesktopEvents.hpp"
#include "platform/IdleTime.hpp"

namespace lumetra {

// The menu-bar host hears of sleep from the workspace and shows its own alerts; idle time is
// the system's input counter.
struct DesktopEvents::State {
  IdleTime idle{nullptr, nullptr};
};

DesktopEvents::DesktopEvents(Handlers) : state_(std::make_shared<State>()) {}
DesktopEvents::~DesktopEvents() = default;
void DesktopEvents::notify(const std::string&, std::function<void()>) {}
void DesktopEvents::showTray(const Tray&) {}
std::optional<double> DesktopEvents::idleSeconds() { return state_->idle.seconds(); }
std::optional<std::string> DesktopEvents::idleSource() const {
  const auto source = state_->idle.source();
  return source ? std::optional<std::string>(*source) : std::nullopt;
}

}  // namespace lumetra
