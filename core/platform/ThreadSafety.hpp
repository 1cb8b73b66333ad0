#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

// Clang's thread-safety analysis: state a mutex guards, and functions that need it held, are
// checked at compile time with -Wthread-safety. Other compilers ignore the annotations.
#if defined(__clang__)
#define LUMETRA_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define LUMETRA_THREAD_ANNOTATION(x)
#endif
#define CAPABILITY(name) LUMETRA_THREAD_ANNOTATION(capability(name))
#define SCOPED_CAPABILITY LUMETRA_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(m) LUMETRA_THREAD_ANNOTATION(guarded_by(m))
#define REQUIRES(...) LUMETRA_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) LUMETRA_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) LUMETRA_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define EXCLUDES(...) LUMETRA_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))

namespace lumetra {

// A standard mutex the analysis knows about (the standard library's isn't annotated).
class CAPABILITY("mutex") Mutex {
 public:
  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }
  // For waiting on a condition variable with the lock held.
  std::mutex& native() { return mutex_; }

 private:
  std::mutex mutex_;
};

// Holds a Mutex for its scope. wait() waits on a condition variable with it.
class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : lock_(mutex.native()) {}
  ~MutexLock() RELEASE() = default;
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  template <class Predicate>
  void wait(std::condition_variable& condition, Predicate ready) {
    condition.wait(lock_, ready);
  }
  template <class Clock, class Duration, class Predicate>
  bool waitUntil(std::condition_variable& condition, const std::chrono::time_point<Clock, Duration>& until,
                 Predicate ready) {
    return condition.wait_until(lock_, until, ready);
  }

 private:
  std::unique_lock<std::mutex> lock_;
};

// The one thread allowed to use an object that isn't thread-safe. The first check binds it to
// the calling thread; release() hands the object over, and the next check binds again. Checks
// abort in builds with LUMETRA_CHECK_THREADS (debug and sanitizer builds) and cost nothing
// elsewhere.
class OwnerThread {
 public:
  void assertHeld() const noexcept {
#ifdef LUMETRA_CHECK_THREADS
    const auto me = std::this_thread::get_id();
    std::thread::id none;
    if (owner_.compare_exchange_strong(none, me) || none == me) return;
    std::fputs("lumetra: called from a thread that doesn't own the object\n", stderr);
    std::abort();
#endif
  }
  void release() noexcept { owner_.store(std::thread::id()); }

 private:
  // Present in every build, so that objects have one layout whichever files check.
  mutable std::atomic<std::thread::id> owner_{};
};

}  // namespace lumetra
