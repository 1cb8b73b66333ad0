#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <thread>

#include "platform/ThreadSafety.hpp"

namespace lumetra {

// The host's owner thread: a serial queue that alone touches the store, the tracker and the
// handlers, with a heartbeat run on the same thread between jobs.
class OwnerQueue {
 public:
  using Job = std::function<void()>;

  OwnerQueue(std::chrono::milliseconds heartbeatInterval, Job heartbeat);
  // Finishes the jobs already queued, then ends the thread.
  ~OwnerQueue();
  OwnerQueue(const OwnerQueue&) = delete;
  OwnerQueue& operator=(const OwnerQueue&) = delete;

  // Queues a job; from any thread. Jobs scheduled after stop() never run.
  void schedule(Job job);
  // Finishes the queued jobs and ends the thread. From any thread but the owner's.
  void stop();

 private:
  void loop();

  std::chrono::milliseconds interval_;
  Job heartbeat_;
  Mutex lock_;
  std::condition_variable wake_;
  std::deque<Job> jobs_ GUARDED_BY(lock_);
  bool stopping_ GUARDED_BY(lock_) = false;
  std::thread thread_;
};

}  // namespace lumetra
