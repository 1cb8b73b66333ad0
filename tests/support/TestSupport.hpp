#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Instant.hpp"

namespace lumetra {
class Database;
}

namespace lumetra::test {

// The zone every test process runs in, set before main so that the C library and ICU agree.
inline constexpr const char* kTestTimeZone = "Europe/Berlin";

// A fresh folder under /tmp (short, so socket paths fit), removed with everything in it. In
// memory (/dev/shm) for tests that write many small transactions and never need a socket.
class TemporaryDirectory {
 public:
  explicit TemporaryDirectory(bool inMemory = false);
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  [[nodiscard]] std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

struct ProcessResult {
  int status = -1;
  std::string out, err;
};

// Runs a program to its end with the given arguments, extra environment and standard input; its
// standard output goes to `output` when given (and `out` stays empty).
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment = {}, const std::string& input = {},
                         const std::filesystem::path& output = {});

// A process started in the background, killed (SIGKILL) if still running when released.
class BackgroundProcess {
 public:
  BackgroundProcess(const std::string& program, const std::vector<std::string>& arguments,
                    const std::map<std::string, std::string>& environment, const std::filesystem::path& logFile);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;
  // Sends the signal and waits for the exit; returns the exit status (128 + signal when killed).
  int stop(int signal);
  // Waits for the process to end by itself; its exit status as stop() gives it.
  int wait();
  [[nodiscard]] int pid() const { return pid_; }

 private:
  int pid_ = -1;
};

// Waits up to `seconds` for a path to exist.
bool waitForPath(const std::filesystem::path& path, double seconds = 10);

// The instant of a local wall-clock time in the test zone (2024-05-01 09:30:00 and so on).
Instant localTime(int year, int month, int day, int hour, int minute, int second = 0);

// Every row of every table, in table and row order, as text: compared before and after an
// operation that was refused, to show that it changed nothing.
std::string dumpTables(Database& db);

// The exception of type E that `action` throws, or nullopt when it returns.
template <class E, class F>
std::optional<E> thrown(F&& action) {
  try {
    action();
  } catch (const E& error) {
    return error;
  }
  return std::nullopt;
}

// The description of the Error of type E that `action` throws, or "(nothing thrown)".
template <class E, class F>
std::string thrownText(F&& action) {
  const auto error = thrown<E>(std::forward<F>(action));
  return error ? error->description() : "(nothing thrown)";
}

// Writes bytes to a file, replacing it.
void writeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace lumetra::test
