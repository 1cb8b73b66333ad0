#pragma once

namespace lumetra::IdleTime {

// Seconds since the user's last keyboard or pointer input, as the platform reports it;
// 0 when the platform can't tell (no display, for one). Call from one thread only.
[[nodiscard]] double seconds();

}  // namespace lumetra::IdleTime
