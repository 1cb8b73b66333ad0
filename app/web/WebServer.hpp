#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "actions/HostActions.hpp"

namespace httplib {
class Server;
}

namespace lumetra {

// The window: a page served on 127.0.0.1 only, while the host runs. Each start makes a fresh
// token; the address `open` prints carries it, and the page trades it for a cookie. Every
// request must name the loopback address in its Host header and carry the cookie; changes come
// only as POSTs of JSON from the page's own origin. The requests' work runs on the owner thread
// through `relay`, so the page never touches the store itself.
class WebServer {
 public:
  // Runs a job on the owner thread and returns its bytes, or nothing when the owner was too
  // busy to begin it (the job then never runs).
  using Relay = std::function<std::optional<std::string>(std::function<std::string()>)>;

  // The page's requests are carried out by `actions`, on the owner thread through `relay`.
  WebServer(HostActions& actions, Relay relay, std::string busyReply);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Binds 127.0.0.1:port (0: any free port) and serves on threads of its own. Nothing, or the
  // sentence saying why the page is off.
  [[nodiscard]] std::optional<std::string> start(int port);
  // The page's address with this start's token, for `lumetra-app open`.
  [[nodiscard]] std::string address() const;
  [[nodiscard]] int port() const { return port_; }

 private:
  void route();

  HostActions& actions_;
  Relay relay_;
  std::string busy_;
  std::string token_;
  int port_ = 0;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
};

}  // namespace lumetra
