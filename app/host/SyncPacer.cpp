#include "host/SyncPacer.hpp"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "platform/FolderWatch.hpp"

namespace lumetra {

SyncPacer::SyncPacer(std::function<void()> due) : due_(std::move(due)) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead_.reset(ends[0]);
    wakeWrite_.reset(ends[1]);
  }
  thread_ = std::thread([this] { run(); });
}

SyncPacer::~SyncPacer() {
  {
    MutexLock held(lock_);
    stopping_ = true;
  }
  wake();
  if (thread_.joinable()) thread_.join();
}

void SyncPacer::wake() {
  if (wakeWrite_.valid()) (void)!::write(wakeWrite_.get(), "x", 1);
}

void SyncPacer::changed() {
  {
    MutexLock held(lock_);
    changed_ = true;
  }
  wake();
}

void SyncPacer::watch(std::vector<std::filesystem::path> folders) {
  {
    MutexLock held(lock_);
    folders_ = std::move(folders);
  }
  wake();
}

void SyncPacer::run() {
  using Clock = std::chrono::steady_clock;
  FolderWatch watch;
  auto next = Clock::now() + interval;
  std::optional<Clock::time_point> soon;
  for (;;) {
    {
      MutexLock held(lock_);
      if (stopping_) return;
      if (folders_) {
        watch.watch(*folders_);
        folders_.reset();
      }
      if (std::exchange(changed_, false) && !soon) soon = Clock::now() + gather;
    }
    const auto now = Clock::now();
    if ((soon && now >= *soon) || now >= next) {
      soon.reset();
      next = now + interval;
      due_();
      continue;
    }
    const auto until = soon ? std::min(*soon, next) : next;
    pollfd fds[2] = {{wakeRead_.get(), POLLIN, 0}, {watch.descriptor(), POLLIN, 0}};
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    (void)::poll(fds, watch.descriptor() >= 0 ? 2 : 1, static_cast<int>(wait));
    if (fds[0].revents & POLLIN) {
      char drained[64];
      while (::read(wakeRead_.get(), drained, sizeof drained) > 0) {
      }
    }
    if (watch.descriptor() >= 0 && (fds[1].revents & POLLIN) && watch.drain() && !soon) soon = Clock::now() + gather;
  }
}

}  // namespace lumetra
