#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "platform/FileDescriptor.hpp"
#include "platform/ThreadSafety.hpp"

namespace lumetra {

// When the host syncs: soon after a change here (a short wait gathers a burst of them), soon
// after files change where other computers' logs arrive, and every `interval` anyway. It only
// says when; the sync itself runs on the owner thread.
class SyncPacer {
 public:
  static constexpr std::chrono::milliseconds gather{300};
  static constexpr std::chrono::seconds interval{30};

  // `due` is called on the pacer's thread when a sync is due; it schedules one.
  explicit SyncPacer(std::function<void()> due);
  ~SyncPacer();
  SyncPacer(const SyncPacer&) = delete;
  SyncPacer& operator=(const SyncPacer&) = delete;

  // Something changed here. From any thread.
  void changed();
  // The folders to watch from now on. From any thread.
  void watch(std::vector<std::filesystem::path> folders);

 private:
  void run();
  void wake();

  std::function<void()> due_;
  FileDescriptor wakeRead_, wakeWrite_;
  Mutex lock_;
  bool changed_ GUARDED_BY(lock_) = false;
  bool stopping_ GUARDED_BY(lock_) = false;
  std::optional<std::vector<std::filesystem::path>> folders_ GUARDED_BY(lock_);
  std::thread thread_;
};

}  // namespace lumetra
