#pragma once

#include <string>
#include <utility>

#include "control/WireCoding.hpp"
#include "platform/Instant.hpp"
#include "tracking/ControlHandler.hpp"
#include "tracking/Tracker.hpp"

namespace lumetra {

// Carries out the menu's actions on the host's side, as a menu-bar menu would: managing
// projects and sessions and the idle time-out. Requests are JSON objects with an "action"
// and its fields; replies use the control protocol's envelope. Everything goes through the
// tracker, so its guards apply. Owner thread only; never throws.
class MenuHandler {
 public:
  MenuHandler(Tracker& tracker, ControlHandler& control);

  [[nodiscard]] std::string respond(const std::string& data, Instant now);

  // Where the window is while it runs, or the sentence saying why it is off.
  void setWindow(std::string address, int port, std::string whyOff);

 private:
  JSON run(const JSON& request, Instant now);
  JSON projectAction(const std::string& action, const JSON& request, Instant now);
  JSON sessionAction(const std::string& action, const JSON& request, Instant now);
  JSON idleTimeout(const JSON& request);
  JSON exportCSV(const JSON& request, Instant now);
  JSON report(const JSON& request, Instant now);
  JSON window();
  JSON webPort(const JSON& request);
  // Refuses times that share time with another session, naming it.
  void refuseOverlaps(Instant start, std::optional<Instant> end, std::optional<std::int64_t> excluding, Instant now);
  JSON sessionInfo(const WorkSession& session, Instant now);

  Tracker& tracker_;
  ControlHandler& control_;
  std::string windowAddress_;
  int windowPort_ = 0;
  std::string windowOff_ = "Lumetra's window isn't open yet.";
};

}  // namespace lumetra
