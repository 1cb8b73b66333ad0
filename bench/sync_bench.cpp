// Sync on 100,000 sessions: another computer publishes its history, this one previews the merge
// (the first sync's report) and then applies every record; the log's bytes per change.
//   lumetra-sync-bench OTHER_DATA_DIR THIS_DATA_DIR FOLDER
// OTHER_DATA_DIR holds the other computer's store (lumetra-bench-data makes one); THIS_DATA_DIR
// starts empty.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "store/Store.hpp"
#include "sync/SyncEngine.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::uintmax_t bytesIn(const std::filesystem::path& folder) {
  std::uintmax_t total = 0;
  for (const auto& file : std::filesystem::recursive_directory_iterator(folder)) {
    if (file.is_regular_file() && file.path().extension() == ".jsonl") total += file.file_size();
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace lumetra;
  if (argc != 4) return 2;
  const std::filesystem::path other(argv[1]), self(argv[2]), folder(argv[3]);
  const Instant now = Instant::now();

  Store otherStore((other / "lumetra.sqlite").string());
  SyncEngine otherSync(otherStore, other);
  auto start = Clock::now();
  const auto published = otherSync.enable({folder.string(), "Desktop", false}, now);
  const double publishing = seconds(start);
  const auto sessions = otherStore.db().query("SELECT count(*) AS n FROM sessions").front().integer("n");
  const auto projects = otherStore.db().query("SELECT count(*) AS n FROM projects").front().integer("n");
  const auto records = sessions + projects;
  std::printf("publishing %lld sessions and %lld projects      %7.3f s\n", static_cast<long long>(sessions),
              static_cast<long long>(projects), publishing);
  std::printf("log bytes per change                          %7.1f\n",
              static_cast<double>(bytesIn(folder)) / static_cast<double>(records));

  std::filesystem::create_directories(self);
  Store selfStore((self / "lumetra.sqlite").string());
  SyncEngine selfSync(selfStore, self);
  start = Clock::now();
  const auto preview = selfSync.enable({folder.string(), "Laptop", true}, now);
  std::printf("merge report (--dry-run) for that computer    %7.3f s   (%lld sessions, %lld new)\n", seconds(start),
              preview.computers.empty() ? 0LL : static_cast<long long>(preview.computers.front().sessions),
              preview.computers.empty() ? 0LL : static_cast<long long>(preview.computers.front().added));
  start = Clock::now();
  (void)selfSync.enable({folder.string(), "Laptop", false}, now);
  std::printf("applying its %lld records                     %7.3f s\n", static_cast<long long>(records), seconds(start));
  (void)published;
  return 0;
}
