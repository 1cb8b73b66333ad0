#pragma once

// Fills a store with `count` sessions spread over ten years back from `end`, in 50 projects,
// 20 minutes to about 5 hours long, every seventh entered by hand. Deterministic.
#include <algorithm>
#include <random>
#include <string>

#include "store/Store.hpp"
#include "store/Transaction.hpp"

namespace lumetra::bench {

inline constexpr int kProjects = 50;

inline void fillStore(Store& store, int count, Instant end) {
  Transaction transaction(store.db());
  for (int p = 0; p < kProjects; ++p) (void)store.createProject("project-" + std::to_string(p), Instant(0));
  std::mt19937_64 random(42);
  const double span = 10 * 365.25 * 86400;
  const double step = span / count;
  for (int i = 0; i < count; ++i) {
    const double start = end.seconds - span + i * step;
    const double length = std::min(step * 0.9, 1200.0 + static_cast<double>(random() % 17000));
    store.db().query(
        "INSERT INTO sessions (project_id, start_at, end_at, last_active_at, end_reason) VALUES (?, ?, ?, ?, ?)",
        {static_cast<std::int64_t>(1 + random() % kProjects), start, start + length, start + length,
         i % 7 == 0 ? "added" : "manual"});
  }
  transaction.commit();
}

}  // namespace lumetra::bench
