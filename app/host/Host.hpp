#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "actions/HostActions.hpp"
#include "actions/WindowPort.hpp"
#include "desktop/HostDesktop.hpp"
#include "host/DataFolder.hpp"
#include "host/OwnerQueue.hpp"
#include "host/SyncPacer.hpp"
#include "sockets/HostSockets.hpp"
#include "sync/SyncEngine.hpp"
#include "tracking/Tracker.hpp"
#include "web/WebServer.hpp"

namespace lumetra {

// Lumetra running on a data folder. Its parts are its members, in the order they start: the
// folder (its lock and stores), the tracker, the sync engine, the host's actions, the owner
// thread that alone uses them and the reader thread beside it, what paces the syncs, the
// desktop, the window and the sockets. The front ends and the owner thread stop first,
// then everything goes in reverse order.
class Host {
 public:
  // The interval of the heartbeat, which passes the desktop's idle time to the tracker.
  static constexpr auto heartbeat = std::chrono::seconds(5);

  // Starts everything, the sockets last. Throws CantStart, or what the tracker or a socket
  // throws while starting. Call from the main thread, with the stop signals blocked.
  Host(const std::filesystem::path& dataDirectory, bool scratch);
  // Stops the front ends and the owner, then keeps the running session's last activity.
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Serves until SIGINT or SIGTERM: 0, or 1 when the database turned out to be damaged.
  int run();

 private:
  void start();
  void stop();
  void beat();
  // Writes and reads the sync folder, and has the tracker and the tray follow. Owner thread.
  void sync();
  std::unique_ptr<WebServer> openWindow(const WindowPort::Choice& choice);
  [[nodiscard]] std::filesystem::path windowPage() const;

  DataFolder folder_;
  Tracker tracker_;
  SyncEngine sync_;
  HostActions actions_;
  OwnerQueue owner_;
  OwnerQueue reader_;  // reports and exports, on the folder's reader
  SyncPacer pacer_;
  std::int64_t syncedRevision_ = -1;  // the store's revision after the last sync
  HostDesktop desktop_;
  std::unique_ptr<WebServer> window_;
  std::optional<HostSockets> sockets_;
  std::atomic<bool> beating_ = false;  // from the first job on, once everything is there
  std::atomic<bool> damaged_ = false;
};

}  // namespace lumetra
