#include "install/ServiceManager.hpp"

#include "platform/ProcessInfo.hpp"

namespace lumetra {

namespace {

class SystemdUser final : public ServiceManager {
 public:
  bool available() override {
    if (!known_) {
      // Answers only when the user's manager runs; where it doesn't, systemctl fails at once.
      available_ = ProcessInfo::run("systemctl", {"--user", "--quiet", "show-environment"}) == 0;
      known_ = true;
    }
    return available_;
  }
  bool control(const std::vector<std::string>& words) override {
    std::vector<std::string> arguments{"--user", "--quiet"};
    arguments.insert(arguments.end(), words.begin(), words.end());
    return ProcessInfo::run("systemctl", arguments) == 0;
  }

 private:
  bool known_ = false;
  bool available_ = false;
};

}  // namespace

std::unique_ptr<ServiceManager> ServiceManager::systemdUser() { return std::make_unique<SystemdUser>(); }

}  // namespace lumetra
