#include "OwnerQueue.hpp"

namespace lumetra {

OwnerQueue::OwnerQueue(std::chrono::milliseconds heartbeatInterval, Job heartbeat)
    : interval_(heartbeatInterval), heartbeat_(std::move(heartbeat)), thread_([this] { loop(); }) {}

OwnerQueue::~OwnerQueue() { stop(); }

void OwnerQueue::schedule(Job job) {
  MutexLock guard(lock_);
  if (stopping_) return;
  jobs_.push_back(std::move(job));
  wake_.notify_one();
}

void OwnerQueue::stop() {
  {
    MutexLock guard(lock_);
    stopping_ = true;
    wake_.notify_one();
  }
  if (thread_.joinable()) thread_.join();
}

void OwnerQueue::loop() {
  auto nextBeat = std::chrono::steady_clock::now() + interval_;
  for (;;) {
    Job job;
    {
      MutexLock guard(lock_);
      guard.waitUntil(wake_, nextBeat, [this]() REQUIRES(lock_) { return stopping_ || !jobs_.empty(); });
      if (!jobs_.empty()) {
        job = std::move(jobs_.front());
        jobs_.pop_front();
      } else if (stopping_) {
        return;
      }
    }
    if (job) job();
    // Checked after every job too, so that a stream of requests never holds the heartbeat up.
    if (std::chrono::steady_clock::now() >= nextBeat) {
      if (heartbeat_) heartbeat_();
      nextBeat = std::chrono::steady_clock::now() + interval_;
    }
  }
}

}  // namespace lumetra
