#include <CoreGraphics/CoreGraphics.h>

#include "platform/IdleTime.hpp"

namespace lumetra::IdleTime {

double seconds() {
  return CGEventSourceSecondsSinceLastEventType(kCGEventSourceStateCombinedSessionState, kCGAnyInputEventType);
}

}  // namespace lumetra::IdleTime
