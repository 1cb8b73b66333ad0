// Round trips of "tools/call" get_status inside one `lumetra mcp` session, against the host
// serving $LUMETRA_DATA_DIR. Prints the median in milliseconds.
//   lumetra-mcp-bench [calls]
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace {

// Reads a reply line through a buffer: one read per chunk, not per byte, so the benchmark's own
// system calls stay out of the round trip it measures.
std::string readLine(int fd) {
  static std::string buffer;
  for (;;) {
    if (const auto end = buffer.find('\n'); end != std::string::npos) {
      std::string line = buffer.substr(0, end);
      buffer.erase(0, end + 1);
      return line;
    }
    char chunk[4096];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got <= 0) return std::exchange(buffer, {});
    buffer.append(chunk, static_cast<size_t>(got));
  }
}

void writeLine(int fd, const std::string& text) {
  const std::string line = text + "\n";
  if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  const int calls = argc > 1 ? std::atoi(argv[1]) : 1000;
  int in[2], out[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) return 1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, in[1]);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::string tool = LUMETRA_TOOL_PATH, mcp = "mcp";
  char* args[] = {tool.data(), mcp.data(), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, tool.c_str(), &actions, nullptr, args, environ) != 0) return 1;
  ::close(in[0]);
  ::close(out[1]);

  writeLine(in[1], R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{"protocolVersion":"2025-11-25"}})");
  (void)readLine(out[0]);
  std::vector<double> times;
  for (int i = 1; i <= calls; ++i) {
    const auto start = std::chrono::steady_clock::now();
    writeLine(in[1], R"({"jsonrpc":"2.0","id":)" + std::to_string(i) +
                         R"(,"method":"tools/call","params":{"name":"get_status"}})");
    const std::string reply = readLine(out[0]);
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    if (reply.find("\"isError\":false") == std::string::npos) {
      std::fprintf(stderr, "unexpected reply: %s\n", reply.c_str());
      return 1;
    }
  }
  ::close(in[1]);
  int status = 0;
  waitpid(pid, &status, 0);
  std::sort(times.begin(), times.end());
  std::printf("%d get_status calls in one session: median %.3f ms, 90th percentile %.3f ms\n", calls,
              times[times.size() / 2], times[times.size() * 9 / 10]);
  return 0;
}
