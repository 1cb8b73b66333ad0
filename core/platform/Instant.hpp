#pragma once

#include <compare>
#include <ostream>

namespace lumetra {

// An absolute time: seconds since 1970-01-01 00:00:00 UTC, with sub-second precision.
// Nothing below the process wiring reads the clock; every "now" is an Instant passed in.
struct Instant {
  double seconds = 0;

  constexpr Instant() = default;
  constexpr explicit Instant(double secondsSince1970) : seconds(secondsSince1970) {}

  constexpr auto operator<=>(const Instant&) const = default;

  constexpr Instant operator+(double delta) const { return Instant(seconds + delta); }
  constexpr Instant operator-(double delta) const { return Instant(seconds - delta); }
  constexpr double operator-(Instant other) const { return seconds - other.seconds; }

  // The current time. Only process wiring (main, the host's heartbeat) may call this.
  static Instant now();
};

inline void PrintTo(const Instant& instant, std::ostream* os) { *os << "Instant(" << instant.seconds << ")"; }

}  // namespace lumetra
