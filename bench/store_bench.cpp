// Store queries on a database of 1,000,000 sessions over 10 years and 50 projects.
// The database is built once in $LUMETRA_BENCH_DIR (default /tmp/lumetra-bench-store) and reused.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/Calendar.hpp"
#include "store/Store.hpp"
#include "BenchData.hpp"

namespace {

using namespace lumetra;

constexpr int kSessions = 1'000'000;
constexpr double kYears = 10;

// The newest session ends here; "today" is its day.
const Instant kNow(1'780'000'000);

std::filesystem::path benchDirectory() {
  const char* configured = std::getenv("LUMETRA_BENCH_DIR");
  return configured ? configured : "/tmp/lumetra-bench-store";
}

Store& store() {
  static std::unique_ptr<Store> instance = [] {
    const auto folder = benchDirectory();
    std::filesystem::create_directories(folder);
    const auto path = (folder / "store-1m.sqlite").string();
    const bool fresh = !std::filesystem::exists(path);
    auto opened = std::make_unique<Store>(path);
    if (fresh) bench::fillStore(*opened, kSessions, kNow);
    return opened;
  }();
  return *instance;
}

const Calendar& calendar() {
  static const Calendar c("Europe/Berlin");
  return c;
}

void recentSessions(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(store().recentSessions(20));
}
void sessionsOfOneDay(benchmark::State& state) {
  const Instant day = calendar().startOfDay(kNow - 86400 * 30);
  for (auto _ : state) benchmark::DoNotOptimize(store().sessions(std::nullopt, day, day + 86400));
}
void totalsFromToday(benchmark::State& state) {
  const Instant today = calendar().startOfDay(kNow);
  for (auto _ : state) benchmark::DoNotOptimize(store().totals(today, std::nullopt, kNow));
}
void overlappingOneHourRecent(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(store().overlappingSessions(kNow - 7200, kNow - 3600, std::nullopt, kNow));
}
void overlappingOneHourOld(benchmark::State& state) {
  const Instant old = kNow - 9.5 * 365.25 * 86400;
  for (auto _ : state) benchmark::DoNotOptimize(store().overlappingSessions(old, old + 3600, std::nullopt, kNow));
}
void openSession(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(store().openSession());
}
void lastTrackedSession(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(store().lastTrackedSession());
}

BENCHMARK(recentSessions)->Unit(benchmark::kMicrosecond);
BENCHMARK(sessionsOfOneDay)->Unit(benchmark::kMicrosecond);
BENCHMARK(totalsFromToday)->Unit(benchmark::kMicrosecond);
BENCHMARK(overlappingOneHourRecent)->Unit(benchmark::kMicrosecond);
BENCHMARK(overlappingOneHourOld)->Unit(benchmark::kMicrosecond);
BENCHMARK(openSession)->Unit(benchmark::kMicrosecond);
BENCHMARK(lastTrackedSession)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
