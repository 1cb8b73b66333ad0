#include "platform/ProcessInfo.hpp"

#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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
