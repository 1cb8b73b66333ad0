#pragma once

#include <optional>
#include <string>
#include <tuple>

#include "platform/WireField.hpp"
#include "tracking/Tracker.hpp"

namespace lumetra {

// Shows the idle time-out, or sets it first.
struct IdleTimeoutSetting {
  std::optional<double> seconds;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"seconds", &IdleTimeoutSetting::seconds}}; }
};

// The idle time-out, and whether anything here tells when the user last gave input.
struct IdleTimeout {
  double seconds = 0;
  bool detected = false;

  static constexpr auto wireFields() {
    return std::tuple{WireField{"seconds", &IdleTimeout::seconds}, WireField{"detected", &IdleTimeout::detected}};
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

struct WindowAddress {
  std::string url;

  static constexpr auto wireFields() { return std::tuple{WireField{"url", &WindowAddress::url}}; }
};

// The host's settings, and where its window is. Owner thread only.
class SettingActions {
 public:
  explicit SettingActions(Tracker& tracker) : tracker_(tracker) {}

  IdleTimeout idleTimeout(const IdleTimeoutSetting& request);
  WebPortSetting webPort(const WebPortRequest& request);
  [[nodiscard]] WindowAddress window() const;

  // Where the window is while it runs (its address with the token, and its port), or the
  // sentence saying why it is off.
  void setWindow(std::string address, int port, std::string whyOff);

 private:
  Tracker& tracker_;
  std::string windowAddress_;
  int windowPort_ = 0;
  std::string windowOff_ = "Lumetra's window isn't open yet.";
};

}  // namespace lumetra
