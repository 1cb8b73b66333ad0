// Session lifecycle and queries.
#include <random>

#include "store/StoreFixture.hpp"

namespace lumetra {
namespace {

class StoreSessionsTest : public test::StoreFixture {
 protected:
  void SetUp() override {
    garden = store().createProject("Garden", at(0, 0)).id;
    writing = store().createProject("Writing", at(0, 0)).id;
  }
  std::vector<std::int64_t> ids(const std::vector<WorkSession>& sessions) {
    std::vector<std::int64_t> out;
    for (const auto& s : sessions) out.push_back(s.id);
    return out;
  }
  std::int64_t garden = 0, writing = 0;
};

TEST_F(StoreSessionsTest, Lifecycle) {
  EXPECT_EQ(store().openSession(), std::nullopt);
  const auto started = store().insertSession(garden, at(9, 0), "  Beds \n");
  EXPECT_EQ(started, (WorkSession{started.id, garden, at(9, 0), std::nullopt, at(9, 0), std::nullopt, false, "Beds",
                                  SessionTimes::real}));
  EXPECT_EQ(store().openSession(), started);
  store().updateLastActive(started.id, at(9, 20));
  store().closeSession(started.id, at(9, 30), at(9, 20), EndReason::idle);
  const auto closed = store().session(started.id);
  EXPECT_EQ(closed->end, at(9, 30));
  EXPECT_EQ(closed->endReason, EndReason::idle);
}

TEST_F(StoreSessionsTest, DescriptionRules) {
  const auto session = store().insertSession(garden, at(9, 0), std::nullopt);
  expectRefused(StoreError::leadingFormulaCharacter(StoreError::Field::description),
                [&] { store().insertSession(writing, at(9, 0), "=x"); });
  EXPECT_EQ(store().setDescription(session.id, " Plan ").description, "Plan");
  EXPECT_EQ(store().setDescription(session.id, "  ").description, std::nullopt);
  EXPECT_TRUE(store().db().query("SELECT description FROM sessions").front().find("description")->isNull());
  expectRefused(StoreError(StoreError::Case::sessionNotFound), [&] { store().setDescription(999, "x"); });
  expectRefused(StoreError::leadingFormulaCharacter(StoreError::Field::description),
                [&] { store().setDescription(session.id, "+1"); });
  // A formula-like description stored earlier may be kept, and carried over when switching.
  store().db().query("UPDATE sessions SET description = '+1' WHERE id = ?", {session.id});
  EXPECT_EQ(store().setDescription(session.id, " +1").description, "+1");
  store().closeSession(session.id, at(9, 30), at(9, 30), EndReason::switched);
  EXPECT_EQ(store().insertSession(writing, at(9, 30), "+1", {"+1"}).description, "+1");
}

TEST_F(StoreSessionsTest, StoredTextsReadBack) {
  store().db().query(
      "INSERT INTO sessions (project_id, start_at, end_at, last_active_at, end_reason, times) VALUES "
      "(?, 1, 2, 2, 'Manual', 'approximate'), (?, 3, 4, 4, 'manual', 'placeholder')",
      {garden, garden});
  const auto sessions = store().sessions(std::nullopt, std::nullopt, std::nullopt);
  EXPECT_EQ(sessions[0].endReason, std::nullopt);
  EXPECT_EQ(sessions[0].times, SessionTimes::approximate);
  EXPECT_EQ(sessions[1].endReason, EndReason::manual);
  EXPECT_EQ(sessions[1].times, SessionTimes::placeholder);
}

TEST_F(StoreSessionsTest, QueriesByProjectAndStart) {
  const auto a = store().addSession(garden, at(9, 0), at(10, 0), std::nullopt, at(12, 0));
  const auto b = store().addSession(writing, at(9, 0), at(9, 30), std::nullopt, at(12, 0));
  const auto c = store().addSession(garden, at(11, 0), at(11, 30), std::nullopt, at(12, 0));
  EXPECT_EQ(ids(store().sessions(std::nullopt, std::nullopt, std::nullopt)), (std::vector{a.id, b.id, c.id}));
  EXPECT_EQ(ids(store().sessions(std::vector{garden}, std::nullopt, std::nullopt)), (std::vector{a.id, c.id}));
  EXPECT_EQ(ids(store().sessions(std::nullopt, at(9, 0), at(11, 0))), (std::vector{a.id, b.id}));
  EXPECT_EQ(ids(store().sessions(std::vector{writing, garden}, at(9, 30), std::nullopt)), std::vector{c.id});
  EXPECT_EQ(ids(store().recentSessions(2)), (std::vector{c.id, b.id}));
}

TEST_F(StoreSessionsTest, TotalsCountWholeSessionsByStart) {
  (void)store().addSession(garden, test::localTime(2024, 4, 30, 23, 30), at(0, 30), std::nullopt, at(12, 0));
  (void)store().addSession(garden, at(0, 0), at(1, 0), std::nullopt, at(12, 0));
  store().db().query("INSERT INTO sessions (project_id, start_at, end_at, last_active_at) VALUES (?, ?, ?, ?)",
                     {writing, at(2, 0), at(1, 0), at(1, 0)});
  (void)store().insertSession(writing, at(11, 58, 30), std::nullopt);
  const auto totals = store().totals(at(0, 0), std::nullopt, at(12, 0));
  EXPECT_EQ(totals, (std::map<std::int64_t, double>{{garden, 3600}, {writing, 90}}));
}

TEST_F(StoreSessionsTest, OverlappingSessions) {
  const auto a = store().addSession(garden, at(9, 0), at(10, 0), std::nullopt, at(12, 0));
  const auto b = store().addSession(writing, at(9, 30), at(11, 0), std::nullopt, at(12, 0));
  const auto open = store().insertSession(garden, at(11, 30), std::nullopt);
  EXPECT_EQ(ids(store().overlappingSessions(at(10, 0), at(10, 30), std::nullopt, at(12, 0))), std::vector{b.id});
  EXPECT_EQ(ids(store().overlappingSessions(at(9, 15), at(9, 45), b.id, at(12, 0))), std::vector{a.id});
  EXPECT_EQ(ids(store().overlappingSessions(at(11, 0), at(11, 40), std::nullopt, at(12, 0))), std::vector{open.id});
  EXPECT_EQ(ids(store().overlappingSessions(at(10, 30), at(11, 30), std::nullopt, at(12, 0))), std::vector{b.id});
}

// Given random stores (overlaps, equal ends, an open session, every kind of end), expect the
// indexed queries to return exactly what the plain statements do scanning the whole table.
TEST_F(StoreSessionsTest, IndexedQueriesMatchTheWholeTableScan) {
  std::mt19937 random(11);
  const char* reasons[] = {"manual", "idle", "asleep", "added", "imported", "merged", "switched", "split", nullptr};
  for (int round = 0; round < 20; ++round) {
    store().db().exec("DELETE FROM sessions");
    const int count = 1 + static_cast<int>(random() % 60);
    for (int i = 0; i < count; ++i) {
      const double start = at(0, 0).seconds + static_cast<double>(random() % 86'400);
      const double length = static_cast<double>(random() % 4 == 0 ? random() % 40'000 : random() % 3'600);
      const char* reason = reasons[random() % std::size(reasons)];
      const bool open = i == 0 && round % 2 == 0;
      store().db().query(
          "INSERT INTO sessions (project_id, start_at, end_at, last_active_at, end_reason) VALUES (?, ?, ?, ?, ?)",
          {garden, start,
           open ? SQLValue(nullptr) : SQLValue(i % 5 == 0 ? 90'000.0 + at(0, 0).seconds : start + length), start,
           open || !reason ? SQLValue(nullptr) : SQLValue(std::string(reason))});
    }
    const auto last = store().db().query(
        "SELECT id FROM sessions NOT INDEXED WHERE end_at IS NOT NULL AND (end_reason IS NULL OR end_reason NOT IN "
        "('added', 'imported', 'merged')) ORDER BY end_at DESC, id DESC LIMIT 1");
    EXPECT_EQ(store().lastTrackedSession().has_value(), !last.empty());
    if (!last.empty()) {
      EXPECT_EQ(store().lastTrackedSession()->id, last.front().integer("id"));
    }
    for (int q = 0; q < 30; ++q) {
      const Instant from(at(0, 0).seconds + static_cast<double>(random() % 100'000) - 5'000);
      const Instant to = from + static_cast<double>(random() % 20'000);
      const Instant now = from + static_cast<double>(random() % 30'000);
      const std::int64_t excluding = random() % 3 == 0 ? static_cast<std::int64_t>(random() % count + 1) : -1;
      std::vector<std::int64_t> expected;
      for (const auto& row : store().db().query("SELECT id FROM sessions NOT INDEXED WHERE start_at < ? AND "
                                                "COALESCE(end_at, ?) > ? AND id != ? ORDER BY start_at, id",
                                                {to, now, from, excluding})) {
        expected.push_back(row.integer("id"));
      }
      const auto found = store().overlappingSessions(
          from, to, excluding < 0 ? std::nullopt : std::optional<std::int64_t>(excluding), now);
      EXPECT_EQ(ids(found), expected) << round << "/" << q;
    }
  }
}

}  // namespace
}  // namespace lumetra
