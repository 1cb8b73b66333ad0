#pragma once

#include <string>

#include "MenuHandler.hpp"
#include "platform/Instant.hpp"
#include "tracking/ControlHandler.hpp"

namespace lumetra {

// The window's requests on the host's side: control commands and menu actions answered by the
// same handlers as the two sockets, each successful answer with a "text", the sentence the
// tool or lumetra-app prints for it, so the page says what the terminal says. Owner thread only;
// never throws.
class WebActions {
 public:
  WebActions(ControlHandler& control, MenuHandler& menu);

  [[nodiscard]] std::string control(const std::string& body, Instant now);
  [[nodiscard]] std::string menu(const std::string& body, Instant now);
  // {"revision": N}: grows with every change to the stored data, so a page knows when to read again.
  [[nodiscard]] std::string revision();

 private:
  ControlHandler& control_;
  MenuHandler& menu_;
};

}  // namespace lumetra
