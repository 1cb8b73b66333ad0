#include "platform/ProcessInfo.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <signal.h>
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

unsigned userId() { return static_cast<unsigned>(::getuid()); }

void createPrivateFiles() { ::umask(077); }

long processId() { return static_cast<long>(::getpid()); }

namespace {
pid_t spawn(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int failure = posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return failure == 0 ? child : -1;
}
}  // namespace

bool launch(const std::string& program, const std::vector<std::string>& arguments) {
  return spawn(program, arguments) > 0;
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
