#pragma once

#include <filesystem>

namespace lumetra::Host {

// Runs Lumetra in the foreground on the data directory: opens the store, recovers or continues
// a session left open, serves the control and menu sockets, and calls the heartbeat every
// 5 seconds, until SIGINT or SIGTERM. Then persists the running session's last activity,
// removes the socket files and returns 0 (1 when it couldn't start). A running session is left
// open for the next start. Call from main, before any other thread exists.
int run(const std::filesystem::path& dataDirectory);

}  // namespace lumetra::Host
