// Session lifecycle and queries.
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

TEST_F(StoreSessionsTest, LastTrackedSession) {
  EXPECT_EQ(store().lastTrackedSession(), std::nullopt);
  const auto first = store().insertSession(garden, at(9, 0), std::nullopt);
  store().closeSession(first.id, at(10, 0), at(10, 0), EndReason::split);
  const auto second = store().insertSession(garden, at(9, 30), std::nullopt);
  store().closeSession(second.id, at(10, 0), at(10, 0), EndReason::manual);
  EXPECT_EQ(store().lastTrackedSession()->id, second.id);  // same end: the higher id
  for (const auto reason : {EndReason::added, EndReason::imported, EndReason::merged}) {
    const auto later = store().insertSession(garden, at(10, 0), std::nullopt);
    store().closeSession(later.id, at(11, 0), at(11, 0), reason);
    EXPECT_EQ(store().lastTrackedSession()->id, second.id) << rawValue(reason);
  }
  (void)store().insertSession(garden, at(11, 0), std::nullopt);  // open sessions never count
  EXPECT_EQ(store().lastTrackedSession()->id, second.id);
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

}  // namespace
}  // namespace lumetra
