// The `lumetra` executable: wires the core to the process and nothing else.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "cli/CommandLineTool.hpp"
#include "control/ControlClient.hpp"
#include "control/ControlProtocol.hpp"
#include "mcp/MCPServer.hpp"
#include "platform/FileSystem.hpp"
#include "platform/ProcessInfo.hpp"
#include "store/Store.hpp"

namespace {

// One line of standard input without its line feed; nothing at the end of input. A last line
// without a line feed still counts.
std::optional<std::string> readLine() {
  static std::string buffered;
  static std::size_t searched = 0;  // bytes of `buffered` known to hold no line feed
  static bool ended = false;
  for (;;) {
    if (const auto newline = buffered.find('\n', searched); newline != std::string::npos) {
      std::string line = buffered.substr(0, newline);
      buffered.erase(0, newline + 1);
      searched = 0;
      return line;
    }
    searched = buffered.size();
    if (ended) {
      if (buffered.empty()) return std::nullopt;
      searched = 0;
      return std::exchange(buffered, {});
    }
    char chunk[65536];
    const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      ended = true;
    } else {
      buffered.append(chunk, static_cast<std::size_t>(count));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace lumetra;
  std::signal(SIGPIPE, SIG_IGN);

  const auto socket = ControlProtocol::socketURL(Store::defaultDirectory());
  const Transport transport = [&socket](const std::string& request) {
    return ControlClient::exchange(request, socket, ControlClient::timeout);
  };
  const std::vector<std::string> arguments(argv + 1, argv + argc);

  if (arguments.size() == 1 && arguments[0] == MCPServer::command) {
    MCPServer server(MCPServer::bundleVersion(ProcessInfo::executable(argv[0])), Calendar::current(), Instant::now,
                     transport);
    server.serve(readLine, [](const std::string& bytes) { return FileSystem::writeAll(STDOUT_FILENO, bytes); });
    return CommandLineTool::success;
  }

  const auto output = CommandLineTool::run(arguments, transport, Instant::now(), Calendar::current());
  (void)FileSystem::writeAll(STDOUT_FILENO, output.out);
  (void)FileSystem::writeAll(STDERR_FILENO, output.err);
  return output.status;
}
