#pragma once

#include <memory>
#include <string>
#include <vector>

namespace lumetra {

// The user's service manager, as the login service needs it. The real one is systemd's user
// instance, asked through `systemctl --user`; tests give one of their own.
class ServiceManager {
 public:
  virtual ~ServiceManager() = default;

  // Whether a user manager runs for this user.
  [[nodiscard]] virtual bool available() = 0;
  // Runs a `systemctl --user` command ("enable", "--now", "lumetra.service"); true when it succeeded.
  virtual bool control(const std::vector<std::string>& words) = 0;

  [[nodiscard]] static std::unique_ptr<ServiceManager> systemdUser();
};

}  // namespace lumetra
