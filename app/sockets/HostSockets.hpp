#pragma once

#include <filesystem>
#include <functional>

#include "actions/HostActions.hpp"
#include "control/ControlServer.hpp"

namespace lumetra {

// The host's two sockets in the data directory: the tool's control socket, and lumetra-app's,
// whose vocabulary is the command table's host actions. Each request is decoded where it
// arrives, carried out by the host's actions on the owner thread (on `reader` for an action that
// only reads), and its reply encoded there.
class HostSockets {
 public:
  // `changed` runs on the owner thread after a request that changed the stored data.
  HostSockets(const std::filesystem::path& dataDirectory, HostActions& actions, ControlServer::Owner owner,
              ControlServer::Schedule reader, std::function<void()> changed);

  // lumetra-app's socket first, the tool's last: its socket file appearing means everything is
  // ready. Throws SocketError.
  void start();

 private:
  // The reply to one request, noting whether it changed the store.
  std::string answered(const std::function<std::string(Instant)>& respond);
  // A host action's reply, or its refusal's.
  std::string served(const std::string& line, Instant now);

  HostActions& actions_;
  std::function<void()> changed_;
  ControlServer app_;
  ControlServer control_;  // last, so that it stops first
};

}  // namespace lumetra
