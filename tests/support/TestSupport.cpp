#include "support/TestSupport.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>
#include <utility>

#include "platform/Calendar.hpp"
#include "store/Database.hpp"

extern char** environ;

namespace lumetra::test {

namespace {
// Runs before main: every test sees the same zone, whatever the machine's.
const bool kZoneSet = [] {
  ::setenv("TZ", kTestTimeZone, 1);
  ::signal(SIGPIPE, SIG_IGN);  // a child that closes its input must not end the test run
  ::tzset();
  return true;
}();
}  // namespace

namespace {
std::vector<std::string> environmentTexts(const std::map<std::string, std::string>& environment) {
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text(*entry);
    const auto equals = text.find('=');
    if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [key, value] : environment) merged[key] = value;
  std::vector<std::string> texts;
  for (const auto& [key, value] : merged) texts.push_back(key + "=" + value);
  return texts;
}
}  // namespace

// The argument and environment arrays of a program to start; they point into the texts.
struct CommandLine {
  CommandLine(const std::string& program, const std::vector<std::string>& arguments,
              const std::map<std::string, std::string>& environment)
      : argTexts{program}, envTexts(environmentTexts(environment)) {
    argTexts.insert(argTexts.end(), arguments.begin(), arguments.end());
    for (auto& text : argTexts) argv.push_back(text.data());
    argv.push_back(nullptr);
    for (auto& text : envTexts) envp.push_back(text.data());
    envp.push_back(nullptr);
  }
  std::vector<std::string> argTexts, envTexts;
  std::vector<char*> argv, envp;
};

TemporaryDirectory::TemporaryDirectory(bool inMemory) {
  std::string pattern = inMemory && std::filesystem::is_directory("/dev/shm") ? "/dev/shm/lumetra-test-XXXXXX"
                                                                               : "/tmp/lumetra-test-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

namespace {
// Starts the program with its standard streams on these files; the error file may be the output's.
pid_t spawn(const std::string& program, const std::vector<std::string>& arguments,
            const std::map<std::string, std::string>& environment, const std::filesystem::path& in,
            const std::filesystem::path& out, const std::filesystem::path& err) {
  CommandLine line(program, arguments, environment);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (err == out) {
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  } else {
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, line.argv.data(), line.envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("posix_spawn failed for " + program);
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string contents(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}
}  // namespace

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment, const std::string& input,
                         const std::filesystem::path& output) {
  // Files rather than pipes: nothing can fill up and stall, whatever the sizes.
  TemporaryDirectory streams;
  writeFile(streams / "in", input);
  ProcessResult result;
  result.status = waitFor(spawn(program, arguments, environment, streams / "in",
                                output.empty() ? streams / "out" : output, streams / "err"));
  result.out = contents(streams / "out");
  result.err = contents(streams / "err");
  return result;
}

BackgroundProcess::BackgroundProcess(const std::string& program, const std::vector<std::string>& arguments,
                                     const std::map<std::string, std::string>& environment,
                                     const std::filesystem::path& logFile)
    : pid_(spawn(program, arguments, environment, "/dev/null", logFile, logFile)) {}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ > 0) (void)stop(SIGKILL);
}

int BackgroundProcess::wait() {
  if (pid_ <= 0) return -1;
  return waitFor(std::exchange(pid_, -1));
}

int BackgroundProcess::stop(int signal) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, signal);
  return waitFor(std::exchange(pid_, -1));
}

bool waitForPath(const std::filesystem::path& path, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (std::filesystem::exists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

Instant localTime(int year, int month, int day, int hour, int minute, int second) {
  const Calendar calendar(kTestTimeZone);
  const auto start = calendar.startOfDay(year, month, day);
  if (!start) throw std::invalid_argument("no such day");
  return *start + hour * 3600.0 + minute * 60.0 + second;
}

std::string dumpTables(Database& db) {
  std::string out;
  for (const auto& table : db.query("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
    const std::string name = *table.optionalText("name");
    out += "[" + name + "]\n";
    for (const auto& row : db.query("SELECT * FROM " + name + " ORDER BY rowid")) {
      for (std::size_t c = 0; c < row.names().size(); ++c) {
        const auto& column = row.names()[c];
        out += column + "=" + (row.values()[c].isNull() ? "NULL" : *row.optionalText(column)) + " ";
      }
      out += "\n";
    }
  }
  return out;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
}

}  // namespace lumetra::test
