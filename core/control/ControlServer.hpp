#pragma once

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/FileDescriptor.hpp"

namespace lumetra {

// Serves the control socket: one request line and one reply line per connection. Connections
// are accepted on the server's own thread and each is served on a worker thread of its own,
// so one slow request never holds up the next connection.
class ControlServer {
 public:
  // From request bytes (one line, no newline) to reply bytes (no newline). Runs on worker
  // threads, several at once; the host relays each request onto its owner thread.
  using Handler = std::function<std::string(const std::string&)>;
  // Hands a job to the owner thread, which runs it later.
  using Schedule = std::function<void(std::function<void()>)>;

  // Send and receive time-out of each accepted connection, in seconds.
  static constexpr double readTimeout = 5;
  // How long a request may wait for the owner thread to take it up, in seconds.
  static constexpr double busyTimeout = 8;
  // Pending connections queued by the kernel.
  static constexpr int listenBacklog = 128;

  // Touches nothing on disk.
  ControlServer(std::filesystem::path socketURL, Handler handler);
  // Stops, then waits for connections already accepted to be served.
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Creates the socket file (mode 0600, atomically replacing any file left at that path) and
  // begins accepting. The directory must exist. Throws SocketError and then leaves nothing
  // behind. Call once, from the host's thread.
  void start();
  // Stops accepting and deletes the socket file; does nothing when not listening.
  // Connections already accepted are still served.
  void stop();

  [[nodiscard]] bool isListening() const noexcept { return acceptThread_.joinable(); }
  [[nodiscard]] const std::filesystem::path& socketURL() const noexcept { return socketURL_; }

  // Runs `work` on the owner thread through `schedule` and returns its bytes, or nullopt when
  // the owner thread did not begin the job within `timeoutSeconds`. An abandoned job never
  // runs its work; a begun one is always finished and waited for. Rethrows what `work` throws.
  static std::optional<std::string> relay(double timeoutSeconds, const Schedule& schedule,
                                          std::function<std::string()> work);

 private:
  void acceptLoop();
  void serve(FileDescriptor connection);

  std::filesystem::path socketURL_;
  Handler handler_;

  FileDescriptor listener_;
  FileDescriptor wakeRead_, wakeWrite_;  // a byte on the pipe ends the accept loop
  std::thread acceptThread_;

  std::mutex connectionsLock_;
  std::condition_variable connectionsDone_;
  int activeConnections_ = 0;  // guarded by connectionsLock_
};

}  // namespace lumetra
