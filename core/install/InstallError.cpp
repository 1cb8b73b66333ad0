#include "install/InstallError.hpp"
#include "platform/PlatformWording.hpp"

namespace lumetra {

std::string InstallError::description() const {
  const std::string path = location_.string();
  switch (case_) {
    case Case::toolMissing:
      return "The command-line tool isn't in this copy of Lumetra (" + path + ").";
    case Case::occupied:
      return path + " already exists and isn't a link to Lumetra's tool. Remove it and try again.";
    case Case::claudeNotFound:
      return PlatformWording::worded("The Claude desktop app doesn't seem to be set up on this Mac (there's no ") +
             path + "). Install Claude, open it once, and try again.";
    case Case::assistantNotFound:
      return subject_ + " doesn't seem to be set up for this user (there's no " + path +
             "). Install it, open it once, and try again.";
    case Case::unreadable: {
      const std::string key = subject_.empty() ? "mcpServers" : subject_;
      return path + " isn't a JSON object with " + (key == "mcpServers" ? "an " : "a ") + key +
             " object, so it was left alone. Fix it or add Lumetra by hand (see the README).";
    }
    case Case::brokenLink:
      return path + " is a link to a file that doesn't exist, so it was left alone. Fix the link or add Lumetra by "
                    "hand (see the README).";
    case Case::serviceFailed:
      return "“systemctl --user " + subject_ + "” failed, so Lumetra won't start at login yet. The unit is " + path +
             "; “systemctl --user status lumetra” says more.";
  }
  return {};
}

}  // namespace lumetra
