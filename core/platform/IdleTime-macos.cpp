#include <CoreGraphics/CoreGraphics.h>

#include "platform/IdleTime.hpp"

namespace lumetra {

// The system counts input itself; no bus is asked.
struct IdleTime::Sources {};

IdleTime::IdleTime(sd_bus*, sd_bus*) : sources_(std::make_unique<Sources>()) {}
IdleTime::~IdleTime() = default;
void IdleTime::reconnect(sd_bus*, sd_bus*) {}

std::optional<double> IdleTime::seconds() {
  return CGEventSourceSecondsSinceLastEventType(kCGEventSourceStateCombinedSessionState, kCGAnyInputEventType);
}

std::optional<std::string_view> IdleTime::source() const { return "the system's input counter"; }

}  // namespace lumetra
