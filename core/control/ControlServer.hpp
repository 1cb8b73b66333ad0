#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/FileDescriptor.hpp"
#include "platform/FileSystem.hpp"
#include "platform/ThreadSafety.hpp"

namespace lumetra {

// Serves the control socket: one request line and one reply line per connection. One thread
// accepts connections and reads their requests, all at once and none for longer than
// readTimeout; each complete request goes straight onto the owner thread, which runs the handler
// and sends the reply itself, as far as the socket takes it without waiting (a worker finishes a
// longer one). The accepting thread answers busyReply for any request the owner hasn't taken up
// within the owner's busy time-out, so a request answered busy changes nothing.
class ControlServer {
 public:
  // From request bytes (one line, no newline) to reply bytes (no newline). Runs on the owner
  // thread.
  using Handler = std::function<std::string(const std::string&)>;
  // Hands a job to the owner thread, which runs it later.
  using Schedule = std::function<void(std::function<void()>)>;

  // How long a connection has, from being accepted, to send its whole request, in seconds.
  static constexpr double readTimeout = 5;
  // How long a request may wait for the owner thread to take it up, in seconds.
  static constexpr double busyTimeout = 8;
  // Pending connections queued by the kernel.
  static constexpr int listenBacklog = 128;
  // Requests in hand at once (each waits its turn on the owner thread); a further one is
  // answered with the busy reply. Room for a hundred tools asking at the same moment.
  static constexpr int maxActive = 128;
  // Connections whose request is still arriving; a newcomer beyond it evicts the oldest.
  static constexpr std::size_t maxReading = 512;
  // How long a worker waits for another reply to finish before it ends, in seconds, and how
  // many wait.
  static constexpr double workerLinger = 10;
  static constexpr int keptIdle = 1;
  // A request at least this long hands its memory back to the system once answered.
  static constexpr std::size_t largeRequest = 1024 * 1024;

  // A thread beside the owner for the requests that only read, so that the owner never waits
  // for a long one: those `takes` says yes to are answered by `handler` there.
  struct Reader {
    Schedule schedule;
    std::function<bool(const std::string& request)> takes;
    Handler handler;
  };
  // The thread that alone runs the handler, and its reader if it has one.
  struct Owner {
    Schedule schedule;
    double busyTimeout = ControlServer::busyTimeout;
    std::optional<Reader> reader = {};
  };

  // Touches nothing on disk. `busyReply` (no newline) answers requests beyond maxActive and
  // those the owner didn't take up in time.
  ControlServer(std::filesystem::path socketURL, Handler handler, std::string busyReply, Owner owner);
  // Stops, then waits for the requests already being handled to be answered.
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Creates the socket file (mode 0600, atomically replacing any file left at that path) and
  // begins accepting. The directory must exist. Throws SocketError and then leaves nothing
  // behind. Call once, from the host's thread.
  void start();
  // Stops accepting, drops requests still arriving, and deletes the socket file if it is still
  // the one this server made (another server may have taken the path over since). Does nothing
  // when not listening. Requests already being handled are still answered.
  void stop();

  [[nodiscard]] bool isListening() const noexcept { return acceptThread_.joinable(); }
  [[nodiscard]] const std::filesystem::path& socketURL() const noexcept { return socketURL_; }
  // For tests: the requests in hand, queued on the owner or being answered.
  [[nodiscard]] int TEST_requestsInHand();

  // Runs `work` on the owner thread through `schedule` and returns its bytes, or nullopt when
  // the owner thread did not begin the job within `timeoutSeconds`. An abandoned job never
  // runs its work; a begun one is always finished and waited for. Rethrows what `work` throws.
  static std::optional<std::string> relay(double timeoutSeconds, const Schedule& schedule,
                                          std::function<std::string()> work);

 private:
  using Clock = std::chrono::steady_clock;
  // A connection whose request is still arriving.
  struct Reading {
    FileDescriptor connection;
    std::string bytes;
    Clock::time_point deadline;
  };

  void acceptLoop();
  void acceptPending(std::deque<Reading>& reading);
  // Reads what has arrived; true when the connection is done with (answered or dropped).
  bool readFrom(Reading& reading);
  // The rest of a reply, for a worker to send.
  struct Job {
    FileDescriptor connection;
    std::string unsent;
  };
  // A request queued on the owner thread. Exactly one of the owner (starting it) and the
  // accepting thread (giving up on it) takes it, under its lock.
  struct Queued {
    Mutex lock;
    bool taken GUARDED_BY(lock) = false;
    FileDescriptor connection;
    std::string request;
    Clock::time_point deadline;
    const Handler* handler = nullptr;
  };

  void dispatch(FileDescriptor connection, std::string request);
  // Counts a request in, or answers it busy and returns false when maxActive are in hand.
  bool admit(int connection);
  void finishOne();
  void enqueue(Job job);
  // A worker's life: jobs until none comes for workerLinger, or the server closes.
  void work();
  void send(Job job);
  // The handler's reply, if it gives one; the request's memory is handed back either way.
  static std::optional<std::string> reply(const Handler& handler, std::string& request);
  // On the owner thread (or the reader's): the request's handler's reply, then what of it the socket takes at once.
  void answerOnOwner(Queued& queued);
  // Answers busy for queued requests whose time is up; the deadline of the next, if any.
  std::optional<Clock::time_point> expireQueued();

  std::filesystem::path socketURL_;
  Handler handler_;
  std::string busyReply_;
  Owner owner_;
  std::deque<std::shared_ptr<Queued>> queued_;  // the accepting thread's alone; oldest first

  FileDescriptor listener_;
  std::optional<FileSystem::FileIdentity> socketFile_;  // what start() put at socketURL_
  FileDescriptor wakeRead_, wakeWrite_;                 // a byte on the pipe ends the accept loop
  std::thread acceptThread_;

  Mutex activeLock_;
  std::condition_variable activeDone_;
  int active_ GUARDED_BY(activeLock_) = 0;  // requests being handled, queued ones included
  std::deque<Job> jobs_ GUARDED_BY(activeLock_);
  std::condition_variable jobArrived_, workersDone_;
  int workers_ GUARDED_BY(activeLock_) = 0, idle_ GUARDED_BY(activeLock_) = 0;
  bool closing_ GUARDED_BY(activeLock_) = false;
};

}  // namespace lumetra
