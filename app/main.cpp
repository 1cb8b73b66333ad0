// `lumetra-app`: with no words, becomes the host (lumetra-host, beside it); with words, one of
// its commands, sent to the running host like the tool's, or carried out here.
#include <string>
#include <vector>

#include "cli/Commands.hpp"
#include "commands/InstallCommands.hpp"
#include "commands/LocalCommands.hpp"
#include "platform/FileSystem.hpp"
#include "platform/ProcessInfo.hpp"
#include "platform/SystemError.hpp"
#include "store/Store.hpp"

int main(int argc, char** argv) {
  using namespace lumetra;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const auto executable = ProcessInfo::executable(argv[0]);
  if (arguments.empty()) {
    const auto host = executable.parent_path() / "lumetra-host";
    const int error = ProcessInfo::become(host);
    (void)FileSystem::writeAll(FileSystem::standardError,
                               "lumetra-app: Couldn't start the host " + host.string() + ": " + SystemError::text(error) + ".\n");
    return 1;
  }
  if (arguments.size() == 1 && arguments[0] == "--version") {
    return Commands::emit(Commands::Program::app, {0, "lumetra-app " LUMETRA_VERSION "\n", ""});
  }
  ProcessInfo::ignoreBrokenPipe();
  const auto data = Store::defaultDirectory();
  const auto over = [](std::filesystem::path socket) {
    return [socket = std::move(socket)](const std::string& request) {
      return ControlClient::exchange(request, socket, ControlClient::timeout);
    };
  };
  const Commands::Front front{
      Commands::Program::app, over(ControlProtocol::socketURL(data)), over(data / std::string(Commands::appSocketName)),
      [&](const Commands::Row& row, const Arguments& words) {
        // A running host's project names, for a conversion to recognise; none without one.
        const auto projects = [&]() -> std::vector<std::string> {
          try {
            std::vector<std::string> names;
            ControlRequest request(ControlCommand::projects);
            request.includeArchived = true;
            for (auto& project : ControlClient::send<ProjectsResult>(request, over(ControlProtocol::socketURL(data))).projects) {
              names.push_back(std::move(project.name));
            }
            return names;
          } catch (const std::exception&) {
            return {};
          }
        };
        return LocalCommands::run(row, words, InstallCommands::bundleOf(executable), UserFolders::currentEnvironment(),
                                  projects);
      }};
  // The browser opens only where there is a display to show it on, with the window's page: its
  // path carries no secret.
  const auto openWindow = [&data] {
    const auto shown = [](const char* name) { return !UserFolders::environmentValue(name).value_or("").empty(); };
    if (shown("DISPLAY") || shown("WAYLAND_DISPLAY")) {
      (void)ProcessInfo::launch("xdg-open", {(data / std::string(Commands::windowPageName)).string()});
    }
  };
  // A delete asks on a terminal: the question on standard error, the answer from standard input.
  std::function<std::optional<std::string>(const std::string&)> ask;
  if (ProcessInfo::isTerminal(0) && ProcessInfo::isTerminal(2)) {
    ask = [](const std::string& question) {
      (void)FileSystem::writeAll(FileSystem::standardError, question);
      return FileSystem::readStandardInputLine();
    };
  }
  return Commands::emit(Commands::Program::app, Commands::run(front, arguments, {Instant::now(), Calendar::current(),
                                                                               CommandLineTool::readFile, openWindow, ask}));
}
