#include "actions/SettingActions.hpp"

#include <cmath>
#include <limits>

#include "control/ControlError.hpp"
#include "actions/WindowPort.hpp"

namespace lumetra {

using Code = ControlError::Code;

IdleTimeout SettingActions::idleTimeout(const IdleTimeoutSetting& request) {
  if (request.off.value_or(false)) {
    tracker_.setIdleTimeout(std::numeric_limits<double>::infinity());
  } else if (request.seconds) {
    if (!(*request.seconds > 0) || std::isinf(*request.seconds)) {
      throw ControlError(Code::badRequest, "The idle time-out must be above 0.");
    }
    tracker_.setIdleTimeout(*request.seconds);
  }
  const bool off = std::isinf(tracker_.idleThreshold());
  return {off ? 0.0 : tracker_.idleThreshold(), inputSeen_, off};
}

WebPortSetting SettingActions::webPort(const WebPortRequest& request) {
  Store& store = tracker_.store();
  const std::string key(WindowPort::setting);
  WebPortSetting result;
  if (request.port) {
    // 0, any free port, is for a run that says so, not for a bookmark.
    if (!WindowPort::parse(*request.port) || *request.port == "0") {
      throw ControlError(Code::badRequest, "“" + *request.port + "” isn't a port. Use a number from 1 to 65535, or off.");
    }
    store.setSetting(key, *request.port);
    result.changed = true;
  }
  result.port = store.setting(key).value_or(std::to_string(WindowPort::defaultPort));
  if (!windowAddress_.empty()) result.serving = std::to_string(windowPort_);
  return result;
}

WindowAddress SettingActions::window() const {
  if (windowAddress_.empty()) throw ControlError(Code::failed, windowOff_);
  return {windowAddress_};
}

void SettingActions::setWindow(std::string address, int port, std::string whyOff) {
  windowAddress_ = std::move(address);
  windowPort_ = port;
  windowOff_ = std::move(whyOff);
}

}  // namespace lumetra
