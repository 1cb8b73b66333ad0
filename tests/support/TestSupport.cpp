#include "support/TestSupport.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <chrono>
#include <fstream>
#include <thread>
#include <stdexcept>

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

TemporaryDirectory::TemporaryDirectory() {
  std::string pattern = "/tmp/lumetra-test-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment, const std::string& input) {
  CommandLine line(program, arguments, environment);

  int in[2], out[2], err[2];
  if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC)) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, line.argv.data(), line.envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned != 0) throw std::runtime_error("posix_spawn failed for " + program);

  // Feed standard input and drain both outputs together, so no pipe fills up and stalls.
  ProcessResult result;
  std::size_t fed = 0;
  int inFd = in[1];
  if (input.empty()) {
    ::close(inFd);
    inFd = -1;
  }
  (void)::fcntl(out[0], F_SETFL, O_NONBLOCK);
  (void)::fcntl(err[0], F_SETFL, O_NONBLOCK);
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    pollfd fds[3] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}, {inFd, POLLOUT, 0}};
    if (::poll(fds, 3, -1) < 0 && errno != EINTR) break;
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      const ssize_t n = ::read(i == 0 ? out[0] : err[0], buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EAGAIN) {
        (i == 0 ? outOpen : errOpen) = false;
      }
    }
    if (inFd >= 0 && fds[2].revents != 0) {
      const ssize_t n = ::write(inFd, input.data() + fed, std::min<std::size_t>(input.size() - fed, 65536));
      if (n > 0) fed += static_cast<std::size_t>(n);
      if (n <= 0 || fed == input.size()) {
        ::close(inFd);
        inFd = -1;
      }
    }
  }
  if (inFd >= 0) ::close(inFd);
  ::close(out[0]);
  ::close(err[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}


BackgroundProcess::BackgroundProcess(const std::string& program, const std::vector<std::string>& arguments,
                                     const std::map<std::string, std::string>& environment,
                                     const std::filesystem::path& logFile) {
  CommandLine line(program, arguments, environment);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, line.argv.data(), line.envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("posix_spawn failed for " + program);
  pid_ = pid;
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ > 0) (void)stop(SIGKILL);
}

int BackgroundProcess::stop(int signal) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, signal);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
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
