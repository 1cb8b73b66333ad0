#include "platform/ProcessInfo.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <thread>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace lumetra::ProcessInfo {

namespace {
sigset_t stopSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}
}  // namespace

bool isTerminal(int fd) { return ::isatty(fd) == 1; }

unsigned userId() { return static_cast<unsigned>(::getuid()); }

void createPrivateFiles() { ::umask(077); }

long processId() { return static_cast<long>(::getpid()); }

std::string hostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "Computer";
  std::string text(name);
  return text.substr(0, text.find('.'));
}

namespace {
pid_t spawn(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  // The child starts with no signal blocked and the usual handling of each, whatever this
  // process (a host that blocks its stop signals, ignores SIGPIPE) does.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (const int signal : {SIGINT, SIGTERM, SIGPIPE, SIGCHLD, SIGHUP, SIGQUIT}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t child = 0;
  const int failure = posix_spawnp(&child, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return failure == 0 ? child : -1;
}

void reap(pid_t child) {
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}
}  // namespace

bool launch(const std::string& program, const std::vector<std::string>& arguments) {
  const pid_t child = spawn(program, arguments);
  if (child <= 0) return false;
  // Reaped when it ends, so that no zombie stays behind in a long-running host.
  std::thread([child] { reap(child); }).detach();
  return true;
}

int run(const std::string& program, const std::vector<std::string>& arguments) {
  const pid_t child = spawn(program, arguments);
  if (child <= 0) return -1;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int become(const std::filesystem::path& path) {
  char* const arguments[] = {const_cast<char*>(path.c_str()), nullptr};
  ::execv(path.c_str(), arguments);
  return errno;
}

long raiseOpenFileLimit(long wanted) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur < static_cast<rlim_t>(wanted)) {
    limit.rlim_cur = std::min(static_cast<rlim_t>(wanted), limit.rlim_max);
    (void)::setrlimit(RLIMIT_NOFILE, &limit);
    (void)::getrlimit(RLIMIT_NOFILE, &limit);
  }
  return static_cast<long>(limit.rlim_cur);
}

void ignoreBrokenPipe() { ::signal(SIGPIPE, SIG_IGN); }

void blockStopSignals() {
  const sigset_t set = stopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void requestStop() { ::kill(::getpid(), SIGTERM); }

int waitForStopSignal() {
  const sigset_t set = stopSignals();
  int received = 0;
  while (sigwait(&set, &received) != 0) {
  }
  return received;
}

}  // namespace lumetra::ProcessInfo
