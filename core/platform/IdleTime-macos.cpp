#include <CoreGraphics/CoreGraphics.h>

#include "platform/IdleTime.hpp"

namespace lumetra::IdleTime {

std::optional<double> seconds() {
  return CGEventSourceSecondsSinceLastEventType(kCGEventSourceStateCombinedSessionState, kCGAnyInputEventType);
}

std::optional<std::string_view> source() { return "the system's input counter"; }

}  // namespace lumetra::IdleTime
