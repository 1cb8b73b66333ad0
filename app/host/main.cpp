// `lumetra-host`: Lumetra in the foreground, until SIGINT or SIGTERM. `lumetra-app` with no
// words becomes it.
#include "actions/Console.hpp"
#include "host/Host.hpp"
#include "install/LoginService.hpp"
#include "install/RunMode.hpp"
#include "platform/Calendar.hpp"
#include "platform/ProcessInfo.hpp"
#include "platform/UserFolders.hpp"

int main(int argc, char**) {
  using namespace lumetra;
  if (argc > 1) {
    Console::complain("The host takes no words; lumetra-app takes the commands.");
    return 2;
  }
  // Signals are taken by the host's wait; every thread started from here on inherits the block.
  ProcessInfo::blockStopSignals();
  ProcessInfo::shareAllocatorArenas();
  ProcessInfo::ignoreBrokenPipe();
  // The database, its journal, the lock and the sockets are for this user alone.
  ProcessInfo::createPrivateFiles();

  const RunMode mode = RunMode::current();
  const Environment environment = UserFolders::currentEnvironment();
  if (const auto note = mode.menuNote(UserFolders::home(environment))) Console::say(*note);
  // A zone the system doesn't know works as UTC: said once, so that times that look off have
  // their reason.
  if (const auto zone = UserFolders::environmentValue("TZ"); zone && !zone->empty() && Calendar::current().timeZoneId() == "Etc/Unknown") {
    Console::say("The time zone “" + *zone + "” (TZ) isn't known here, so Lumetra keeps time in UTC.");
  }
  // Started by hand while the login service is on: the service's own host takes over.
  if (const auto manager = ServiceManager::systemdUser(); LoginService::handsOff(mode, *manager, environment)) {
    const std::string unit(LoginService::unitName);
    if (manager->control({"start", unit})) {
      Console::say("Lumetra runs as the user service " + unit + ", so it was started there. “systemctl --user stop lumetra” stops it.");
      return 0;
    }
    Console::complain("Couldn't start the user service " + unit + "; running here instead.");
  }
  try {
    Host host(Store::defaultDirectory(), mode.isScratch());
    return host.run();
  } catch (const std::exception& error) {
    Console::complain(describe(error));
    return 1;
  }
}
