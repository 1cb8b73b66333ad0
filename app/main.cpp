// `lumetra-app`: the Lumetra host in the foreground, or, with words, one of its menu actions.
#include <string>
#include <vector>

#include "ConvertCommand.hpp"
#include "Host.hpp"
#include "InstallCommands.hpp"
#include "MenuCommandLine.hpp"
#include "control/ControlClient.hpp"
#include "platform/FileSystem.hpp"
#include "platform/ProcessInfo.hpp"
#include "store/Store.hpp"

int main(int argc, char** argv) {
  using namespace lumetra;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const auto dataDirectory = Store::defaultDirectory();
  if (!MenuCommandLine::isMenuAction(arguments)) return Host::run(dataDirectory);
  if (arguments.size() == 1 && arguments[0] == "--version") {
    return FileSystem::writeAll(FileSystem::standardOutput, "lumetra-app " LUMETRA_VERSION "\n") ? 0 : 1;
  }

  ProcessInfo::ignoreBrokenPipe();
  const auto bundle = InstallCommands::bundleOf(ProcessInfo::executable(argv[0]));
  auto installed = InstallCommands::run(arguments, bundle, UserFolders::currentEnvironment());
  if (!installed) installed = ConvertCommand::run(arguments);
  if (installed) {
    (void)FileSystem::writeAll(FileSystem::standardOutput, installed->out);
    (void)FileSystem::writeAll(FileSystem::standardError, installed->err);
    return installed->status;
  }
  const auto socket = dataDirectory / std::string(MenuCommandLine::socketName);
  const Transport transport = [&socket](const std::string& request) {
    return ControlClient::exchange(request, socket, ControlClient::timeout);
  };
  // The browser opens only where there is a display to show it on.
  const auto openAddress = [](const std::string& address) {
    const auto shown = [](const char* name) { return !UserFolders::environmentValue(name).value_or("").empty(); };
    if (shown("DISPLAY") || shown("WAYLAND_DISPLAY")) (void)ProcessInfo::launch("xdg-open", {address});
  };
  const auto output = MenuCommandLine::run(arguments, transport, Instant::now(), Calendar::current(), openAddress);
  (void)FileSystem::writeAll(FileSystem::standardOutput, output.out);
  (void)FileSystem::writeAll(FileSystem::standardError, output.err);
  return output.status;
}
