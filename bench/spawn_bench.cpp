// Wall time of `lumetra` commands next to spawning /bin/true in the same run; prints medians in
// milliseconds.
//
//   lumetra-spawn-bench [runs] [tool arguments…]
//       one command against a built-in server that answers a status at once (default: status)
//   lumetra-spawn-bench --host runs "command one" "command two" …
//       each command in turn, every run, against the host already serving $LUMETRA_DATA_DIR: the
//       tool's words, or "lumetra-app …", or any other program on the PATH with its words
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "control/ControlProtocol.hpp"
#include "control/ControlServer.hpp"

extern char** environ;

namespace {

double spawnMilliseconds(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> texts{program};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) std::exit(1);
  int status = 0;
  waitpid(pid, &status, 0);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s exited with %d\n", program.c_str(), WEXITSTATUS(status));
    std::exit(1);
  }
  return std::chrono::duration<double, std::milli>(elapsed).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

std::vector<std::string> words(const std::string& command) {
  std::vector<std::string> out;
  std::string word;
  for (const char c : command + " ") {
    if (c != ' ') {
      word += c;
    } else if (!word.empty()) {
      out.push_back(word);
      word.clear();
    }
  }
  return out;
}

// Against a running host: each command in turn, every run.
int againstHost(int runs, const std::vector<std::string>& commands) {
  std::vector<std::vector<double>> times(commands.size());
  std::vector<double> trueTimes;
  for (int i = 0; i < runs; ++i) {
    trueTimes.push_back(spawnMilliseconds("/bin/true", {}));
    for (std::size_t c = 0; c < commands.size(); ++c) {
      auto arguments = words(commands[c]);
      std::string program = LUMETRA_TOOL_PATH;
      if (arguments.front() == "lumetra-app") {
        program = LUMETRA_APP_PATH;
        arguments.erase(arguments.begin());
      } else if (arguments.front() == "timew") {
        program = arguments.front();
        arguments.erase(arguments.begin());
      }
      times[c].push_back(spawnMilliseconds(program, arguments));
    }
  }
  const double trueMedian = median(trueTimes);
  std::printf("%-32s median %7.3f ms\n", "/bin/true", trueMedian);
  for (std::size_t c = 0; c < commands.size(); ++c) {
    const double m = median(times[c]);
    const bool named = commands[c].starts_with("lumetra-app") || commands[c].starts_with("timew");
    std::printf("%s%-*s median %7.3f ms  (%.2f x /bin/true)\n", named ? "" : "lumetra ", named ? 32 : 24,
                commands[c].c_str(), m, m / trueMedian);
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--host") {
    return againstHost(std::atoi(argv[2]), std::vector<std::string>(argv + 3, argv + argc));
  }
  const int runs = argc > 1 ? std::atoi(argv[1]) : 200;
  std::vector<std::string> arguments(argv + std::min(argc, 2), argv + argc);
  if (arguments.empty()) arguments = {"status"};

  char pattern[] = "/tmp/lumetra-bench-XXXXXX";
  const std::filesystem::path folder = mkdtemp(pattern);
  setenv("LUMETRA_DATA_DIR", folder.c_str(), 1);
  lumetra::ControlServer server(lumetra::ControlProtocol::socketURL(folder), [](const std::string&) {
    return std::string(
        R"({"ok":true,"result":{"current":{"id":42,"project_id":1,"project":"Garden","start":"2024-05-01T09:30:00+02:00",)"
        R"("end":null,"running":true,"duration_seconds":3900,"entry":"tracked","description":"Planning","times":"real"},)"
        R"("date":"2024-05-01","last_session":null,"today":[{"project_id":1,"project":"Garden","seconds":3900}],"today_seconds":3900}})");
  }, "", lumetra::ControlServer::Owner{[](std::function<void()> job) { job(); }});
  server.start();

  std::vector<double> tool, trueTimes;
  for (int i = 0; i < runs; ++i) {
    trueTimes.push_back(spawnMilliseconds("/bin/true", {}));
    tool.push_back(spawnMilliseconds(LUMETRA_TOOL_PATH, arguments));
  }
  server.stop();
  std::filesystem::remove_all(folder);
  const double toolMedian = median(tool), trueMedian = median(trueTimes);
  std::printf("runs %d\n/bin/true        median %.3f ms\nlumetra %-8s median %.3f ms\nratio            %.2f\n", runs,
              trueMedian, arguments.front().c_str(), toolMedian, toolMedian / trueMedian);
}
