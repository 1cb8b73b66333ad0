#pragma once

// The host's settings and its window: what each action takes and answers.
#include <optional>
#include <string>
#include <tuple>

#include "platform/WireField.hpp"

namespace lumetra {

// Shows the idle time-out, or sets it first (or turns it off).
struct IdleTimeoutSetting {
  std::optional<double> seconds;
  std::optional<bool> off;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    return std::tuple{WireField{"seconds", &IdleTimeoutSetting::seconds}, WireField{"off", &IdleTimeoutSetting::off}};
  }
};

// The idle time-out (0 when off), and whether anything here tells when the user last gave input.
struct IdleTimeout {
  double seconds = 0;
  bool detected = false;
  bool off = false;

  static constexpr auto wireFields() {
    return std::tuple{WireField{"seconds", &IdleTimeout::seconds}, WireField{"detected", &IdleTimeout::detected},
                      WireField{"off", &IdleTimeout::off}};
  }
};

struct WebPortRequest {
  std::optional<std::string> port;  // a number or "off"; shown when left out

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"port", &WebPortRequest::port}}; }
};

struct WebPortSetting {
  std::string port;                    // as stored: a number or "off"
  std::optional<std::string> serving;  // the port in use now; null while the window is off
  bool changed = false;

  static constexpr auto wireFields() {
    using R = WebPortSetting;
    return std::tuple{WireField{"port", &R::port}, WireField{"serving", &R::serving}, WireField{"changed", &R::changed}};
  }
};

// Asks where the window is; it takes nothing.
struct WindowRequest {
  static constexpr auto wireFields() { return std::tuple{}; }
};

struct WindowAddress {
  std::string url;

  static constexpr auto wireFields() { return std::tuple{WireField{"url", &WindowAddress::url}}; }
};

}  // namespace lumetra
