#pragma once

#include <string>

// How long after its end a tracked session may still be resumed. The wire's resumable_until and
// the front ends' help texts state it, so it lives below both them and the tracker.
namespace lumetra::ResumeWindow {

inline constexpr double seconds = 86'400;

// The window as messages show it: its whole number of hours and " hours".
[[nodiscard]] inline std::string text() {
  return std::to_string(static_cast<long long>(seconds / 3600)) + " hours";
}

}  // namespace lumetra::ResumeWindow
