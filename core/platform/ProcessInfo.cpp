#include "platform/ProcessInfo.hpp"

#include <pthread.h>
#include <signal.h>
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

long processId() { return static_cast<long>(::getpid()); }

void ignoreBrokenPipe() { ::signal(SIGPIPE, SIG_IGN); }

void blockStopSignals() {
  const sigset_t set = stopSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int waitForStopSignal() {
  const sigset_t set = stopSignals();
  int received = 0;
  while (sigwait(&set, &received) != 0) {
  }
  return received;
}

}  // namespace lumetra::ProcessInfo
