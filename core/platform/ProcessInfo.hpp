#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lumetra::ProcessInfo {

// The running executable's file, as the system knows it; `argv0` when it can't tell.
[[nodiscard]] std::filesystem::path executable(const char* argv0);

// This process's id.
[[nodiscard]] long processId();

// The computer's host name, without its domain; "Computer" when the system gives none.
[[nodiscard]] std::string hostName();

// Whether the descriptor is a terminal.
[[nodiscard]] bool isTerminal(int fd);

// This process's real user id.
[[nodiscard]] unsigned userId();

// Makes every file this process creates from now on private to its user (umask 077).
void createPrivateFiles();

// Hands memory that allocations have freed back to the system, where the allocator keeps it
// otherwise (after a large request, say).
void releaseFreeMemory();
// Keeps threads to a few shared allocator arenas, and gives large blocks pages of their own that
// are returned when freed: for a long-running process with several threads that each allocate
// little, and now and then a large request. Call before starting threads.
void shareAllocatorArenas();

// Starts `program` (looked up in PATH) with the arguments, its output to /dev/null, no signal
// blocked and each handled the usual way, without waiting for it; it is reaped when it ends.
// False when it couldn't be started.
bool launch(const std::string& program, const std::vector<std::string>& arguments);
// Runs `program` the same way and waits for it: its exit status, or -1 when it couldn't be
// started or didn't exit normally.
int run(const std::string& program, const std::vector<std::string>& arguments);

// Replaces this process with the program at `path`, given no arguments; returns the errno only
// when that failed.
int become(const std::filesystem::path& path);

// Raises the limit of open descriptors toward `wanted`, as far as the hard limit allows; the
// limit now in force.
long raiseOpenFileLimit(long wanted);

// Signals: SIGPIPE ignored, so a write to a closed peer fails instead of ending the process.
void ignoreBrokenPipe();
// Blocks SIGINT and SIGTERM in the calling thread and the threads it starts later, so that
// waitForStopSignal alone receives them. Call before starting threads.
void blockStopSignals();
// Ends the wait of waitForStopSignal as SIGTERM would; from any thread.
void requestStop();
// Waits for SIGINT or SIGTERM (blocked with blockStopSignals) and returns its number.
int waitForStopSignal();

}  // namespace lumetra::ProcessInfo
