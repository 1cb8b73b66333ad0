// The `lumetra` executable: wires the core to the process and nothing else.
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "cli/CommandLineTool.hpp"
#include "control/ControlClient.hpp"
#include "control/ControlProtocol.hpp"
#include "store/Store.hpp"

namespace {

void writeAll(int fd, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
    if (count <= 0) return;  // a closed reader; SIGPIPE is ignored, so this is just an error
    written += static_cast<std::size_t>(count);
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

  if (arguments.size() == 1 && arguments[0] == "mcp") {
    writeAll(STDERR_FILENO, "lumetra: mcp isn't available yet.\n");
    return CommandLineTool::failure;
  }

  const auto output = CommandLineTool::run(arguments, transport, Instant::now(), Calendar::current());
  writeAll(STDOUT_FILENO, output.out);
  writeAll(STDERR_FILENO, output.err);
  return output.status;
}
