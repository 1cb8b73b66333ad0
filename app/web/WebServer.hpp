#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "actions/HostActions.hpp"

struct MHD_Daemon;
struct MHD_Connection;

namespace lumetra {

// The window: a page served on 127.0.0.1 only, while the host runs, by one thread. Each start
// makes a fresh token; the address `open` prints carries it, and the page trades it for a
// cookie. Every request must name the loopback address in its Host header and carry the
// cookie; changes come only as POSTs of JSON from the page's own origin. What one client may
// take is bounded: connections, the memory of a request's headers, its body, and the time from
// its first byte to the last of its answer. The requests' work runs on the owner thread through
// `relay` (what only reads on the reader's, through `reads`), so the page never touches the
// store itself.
class WebServer {
 public:
  // Runs a job on the owner thread and returns its bytes, or nothing when the owner was too
  // busy to begin it (the job then never runs).
  using Relay = std::function<std::optional<std::string>(std::function<std::string()>)>;

  // Connections open at once; more wait in the kernel's queue until one goes.
  static constexpr unsigned maxConnections = 4000;
  // A request's line and headers (a cookie, a few browser headers) fit easily in this.
  static constexpr std::size_t maxHeaderMemory = 32 * 1024;
  // A connection that sends nothing for this long is closed, in seconds.
  static constexpr unsigned idleTimeout = 10;
  // From a request's first byte to its answer's last, however slowly it trickles, in seconds.
  static constexpr std::chrono::seconds requestDeadline{20};

  // The page's requests are carried out by `actions`, on the owner thread through `relay`, or
  // through `reads` for a report or an export.
  WebServer(HostActions& actions, Relay relay, Relay reads, std::string busyReply);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds 127.0.0.1:port (0: any free port) and serves on a thread of its own. Nothing, or the
  // sentence saying why the page is off.
  [[nodiscard]] std::optional<std::string> start(int port);
  // The page's address with this start's token, for `lumetra-app open`.
  [[nodiscard]] std::string address() const;
  [[nodiscard]] int port() const { return port_; }

 private:
  struct Request;
  struct Answer;
  friend struct WebServerCalls;

  void serve();
  // Ends the connections whose request has run past the deadline.
  void sweep();
  [[nodiscard]] std::optional<Answer> refusal(MHD_Connection* connection, const std::string& method,
                                              const std::string& url) const;
  [[nodiscard]] Answer answer(MHD_Connection* connection, const std::string& method, const std::string& url,
                              Request& request);

  HostActions& actions_;
  Relay relay_;
  Relay reads_;
  std::string busy_;
  std::string token_;
  int port_ = 0;
  MHD_Daemon* daemon_ = nullptr;
  std::atomic<bool> stopping_ = false;
  std::thread thread_;
  // When each open connection's current request began, for the deadline; the serving thread's.
  std::map<MHD_Connection*, std::chrono::steady_clock::time_point> began_;
};

}  // namespace lumetra
