// The `lumetra` executable: wires the core to the process and nothing else.
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "cli/CommandLineTool.hpp"
#include "cli/Commands.hpp"
#include "control/ControlClient.hpp"
#include "control/ControlProtocol.hpp"
#include "mcp/MCPServer.hpp"
#include "platform/FileSystem.hpp"
#include "platform/ProcessInfo.hpp"
#include "store/Store.hpp"

int main(int argc, char** argv) {
  using namespace lumetra;
  ProcessInfo::ignoreBrokenPipe();

  const auto socket = ControlProtocol::socketURL(Store::defaultDirectory());
  const Calendar calendar = Calendar::current();
  // Loading the time zone costs this short-lived process about as much as the host takes to
  // answer, so it happens while the host works.
  const Transport transport = [&socket, &calendar](const std::string& request) {
    return ControlClient::exchange(request, socket, ControlClient::timeout, [&calendar] { calendar.prepare(); });
  };
  const std::vector<std::string> arguments(argv + 1, argv + argc);

  if (arguments.size() == 1 && arguments[0] == "--version") {
    return Commands::emit(Commands::Program::tool,
                          {0, "lumetra " + MCPServer::bundleVersion(ProcessInfo::executable(argv[0])) + "\n", ""});
  }
  if (arguments.size() == 1 && arguments[0] == MCPServer::command) {
    MCPServer server(MCPServer::bundleVersion(ProcessInfo::executable(argv[0])), calendar, Instant::now, transport);
    server.serve(FileSystem::readStandardInputLine,
                 [](const std::string& bytes) { return FileSystem::writeAll(FileSystem::standardOutput, bytes); });
    return CommandLineTool::success;
  }

  return Commands::emit(Commands::Program::tool, CommandLineTool::run(arguments, transport, Instant::now(), calendar));
}
