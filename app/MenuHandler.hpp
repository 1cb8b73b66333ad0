#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "actions/ProjectActions.hpp"
#include "actions/ReportActions.hpp"
#include "actions/SessionActions.hpp"
#include "actions/SettingActions.hpp"
#include "platform/Instant.hpp"
#include "tracking/ControlHandler.hpp"

namespace lumetra {

// The host's actions behind every front end (lumetra-app's commands, the window): a JSON
// object with an "action" and that action's request record in, the control protocol's envelope
// with its result record out, refusals mapped as ControlHandler maps them. Owner thread only;
// never throws.
class MenuHandler {
 public:
  // The action groups, each a typed request in and a result out.
  struct Actions {
    ProjectActions projects;
    SessionActions sessions;
    SettingActions settings;
    ReportActions reports;
  };

  MenuHandler(Tracker& tracker, ControlHandler& control);

  [[nodiscard]] std::string respond(const std::string& data, Instant now);

  // Where the window is while it runs, or the sentence saying why it is off.
  void setWindow(std::string address, int port, std::string whyOff) {
    actions_.settings.setWindow(std::move(address), port, std::move(whyOff));
  }

  // Every action's wire name.
  [[nodiscard]] static std::vector<std::string_view> actionNames();

 private:
  Tracker& tracker_;
  Actions actions_;
};

}  // namespace lumetra
