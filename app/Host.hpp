#pragma once

#include <filesystem>
#include <string_view>

namespace lumetra::Host {

// The file in the data directory whose lock makes a host the only one on that folder; it holds
// the process id of the host that has it.
inline constexpr std::string_view lockName = "lumetra.lock";

// Runs Lumetra in the foreground on the data directory: opens the store, recovers or continues
// a session left open, serves the control and menu sockets, and calls the heartbeat every
// 5 seconds, until SIGINT or SIGTERM. Then persists the running session's last activity,
// removes the socket files and returns 0; 1 when it couldn't start (another host has the
// folder, the folder is another user's, the database is damaged) or stopped on finding the
// database damaged. A running session is left
// open for the next start. Call from main, before any other thread exists.
int run(const std::filesystem::path& dataDirectory);

}  // namespace lumetra::Host
