// Editing sessions by hand: add, update, delete, split, merge.
#include "store/StoreFixture.hpp"

namespace lumetra {
namespace {

constexpr double kTolerance = 300;

class StoreEditingTest : public test::StoreFixture {
 protected:
  void SetUp() override {
    garden = store().createProject("Garden", at(0, 0)).id;
    writing = store().createProject("Writing", at(0, 0)).id;
  }
  WorkSession add(std::int64_t project, Instant start, Instant end, std::optional<std::string> description = {}) {
    return store().addSession(project, start, end, description, now);
  }
  // A trigger that makes the given statement kind fail, to show a half-done edit is rolled back.
  void failOn(const std::string& event) {
    store().db().exec("CREATE TRIGGER fail_" + event + " BEFORE " + event +
                      " ON sessions BEGIN SELECT RAISE(ABORT, 'injected failure'); END;");
  }

  Instant now = at(12, 0);
  std::int64_t garden = 0, writing = 0;
};

TEST_F(StoreEditingTest, AddRules) {
  EXPECT_EQ(add(garden, at(11, 0), now, " Beds "),
            (WorkSession{1, garden, at(11, 0), now, now, EndReason::added, false, "Beds", SessionTimes::real}));
  expectRefused(StoreError(StoreError::Case::inFuture), [&] { add(garden, at(11, 0), now + 1); });
  expectRefused(StoreError(StoreError::Case::endBeforeStart), [&] { add(garden, at(11, 0), at(11, 0)); });
  expectRefused(StoreError::leadingFormulaCharacter(StoreError::Field::description),
                [&] { add(garden, at(10, 0), at(11, 0), "-x"); });
}

TEST_F(StoreEditingTest, UpdateKeepsOrResetsTheKindOfTimes) {
  const auto session = add(garden, at(9, 0), at(10, 0));
  store().db().query("UPDATE sessions SET times = 'approximate' WHERE id = ?", {session.id});
  auto updated = store().updateSession(session.id, writing, at(9, 0), at(10, 0), now);
  EXPECT_EQ(updated.times, SessionTimes::approximate);
  EXPECT_TRUE(updated.edited);
  EXPECT_EQ(updated.projectId, writing);
  updated = store().updateSession(session.id, writing, at(9, 0, 1), at(10, 0), now);
  EXPECT_EQ(updated.times, SessionTimes::real);
  EXPECT_EQ(store().session(session.id), updated);
}

TEST_F(StoreEditingTest, UpdateRefusals) {
  const auto closed = add(garden, at(9, 0), at(10, 0));
  const auto open = store().insertSession(garden, at(11, 0), std::nullopt);
  const StoreError notFound(StoreError::Case::sessionNotFound);
  expectRefused(notFound, [&] { store().updateSession(open.id, garden, at(11, 0), at(11, 30), now); });
  expectRefused(notFound, [&] { store().updateSession(closed.id, garden, at(9, 0), std::nullopt, now); });
  expectRefused(notFound, [&] { store().updateSession(999, garden, at(9, 0), at(10, 0), now); });
  expectRefused(StoreError(StoreError::Case::endBeforeStart),
                [&] { store().updateSession(closed.id, garden, at(10, 0), at(10, 0), now); });
  expectRefused(StoreError(StoreError::Case::inFuture),
                [&] { store().updateSession(closed.id, garden, at(9, 0), now + 1, now); });
  expectRefused(StoreError(StoreError::Case::inFuture),
                [&] { store().updateSession(open.id, garden, now + 1, std::nullopt, now); });
  // Moving the open session's start past its last activity moves the activity along.
  EXPECT_EQ(store().updateSession(open.id, garden, at(11, 30), std::nullopt, now).lastActive, at(11, 30));
}

TEST_F(StoreEditingTest, DeleteForgetsSources) {
  const auto session = add(garden, at(9, 0), at(10, 0));
  store().db().query("INSERT INTO session_sources VALUES ('row-1', ?)", {session.id});
  store().deleteSession(session.id);
  store().deleteSession(999);
  EXPECT_EQ(store().session(session.id), std::nullopt);
  EXPECT_TRUE(store().db().query("SELECT * FROM session_sources").empty());
}

TEST_F(StoreEditingTest, SplitClosedAndOpenSessions) {
  const auto tracked = add(garden, at(10, 0), at(11, 0), "Beds");
  store().db().query("UPDATE sessions SET end_reason = 'idle', times = 'placeholder' WHERE id = ?", {tracked.id});
  expectRefused(StoreError(StoreError::Case::splitOutsideSession),
                [&] { store().splitSession(tracked.id, at(10, 0) + 0.5, std::nullopt, std::nullopt, now); });
  expectRefused(StoreError(StoreError::Case::splitOutsideSession),
                [&] { store().splitSession(tracked.id, at(11, 0) - 0.5, std::nullopt, std::nullopt, now); });
  expectRefused(StoreError(StoreError::Case::sessionNotFound),
                [&] { store().splitSession(999, at(10, 30), std::nullopt, std::nullopt, now); });
  expectRefused(StoreError::leadingFormulaCharacter(StoreError::Field::description),
                [&] { store().splitSession(tracked.id, at(10, 30), "=x", std::nullopt, now); });

  const auto [first, second] = store().splitSession(tracked.id, at(10, 30), "Beds", "Seeds", now);
  EXPECT_EQ(first, (WorkSession{tracked.id, garden, at(10, 0), at(10, 30), at(10, 30), EndReason::split, true, "Beds",
                                SessionTimes::placeholder}));
  EXPECT_EQ(second, (WorkSession{second.id, garden, at(10, 30), at(11, 0), at(11, 0), EndReason::idle, true, "Seeds",
                                 SessionTimes::placeholder}));
  EXPECT_EQ(store().session(first.id), first);
  EXPECT_EQ(store().session(second.id), second);

  // A hand-entered session keeps its end reason on the first part.
  const auto added = add(writing, at(8, 0), at(9, 0));
  EXPECT_EQ(store().splitSession(added.id, at(8, 30), std::nullopt, std::nullopt, now).first.endReason,
            EndReason::added);

  // The open session's second part stays open; a split less than a second before now fails.
  const auto open = store().insertSession(garden, at(11, 30), std::nullopt);
  expectRefused(StoreError(StoreError::Case::splitOutsideSession),
                [&] { store().splitSession(open.id, now - 0.5, std::nullopt, std::nullopt, now); });
  const auto parts = store().splitSession(open.id, at(11, 45), std::nullopt, std::nullopt, now);
  EXPECT_TRUE(parts.second.isOpen());
  EXPECT_EQ(store().openSession()->id, parts.second.id);
}

// Given a split whose insert fails and a merge whose update fails, expect both rolled back whole.
TEST_F(StoreEditingTest, EditsFailingMidwayLeaveNothing) {
  const auto a = add(garden, at(10, 0), at(10, 20));
  const auto b = add(garden, at(10, 20), at(10, 40));
  failOn("INSERT");
  failOn("UPDATE");
  const std::string before = dump();
  EXPECT_EQ(test::thrownText<DatabaseError>(
                [&] { (void)store().splitSession(a.id, at(10, 10), std::nullopt, std::nullopt, now); }),
            "Constraint violated: injected failure");
  EXPECT_THROW((void)store().mergeSessions(a.id, b.id, std::nullopt, kTolerance, now), DatabaseError);
  EXPECT_EQ(dump(), before);
}

TEST_F(StoreEditingTest, MergeRules) {
  const auto a = add(garden, at(10, 0), at(10, 20), "Design");
  const auto b = add(garden, at(10, 25), at(11, 0), " design ");
  EXPECT_EQ(store().mergeableNeighbours(a.id, kTolerance, now), (Store::Neighbours{std::nullopt, b}));
  EXPECT_EQ(store().mergeableNeighbours(b.id, kTolerance, now), (Store::Neighbours{a, std::nullopt}));
  store().db().query("INSERT INTO session_sources VALUES ('s-a', ?), ('s-b', ?)", {a.id, b.id});

  const auto merged =
      store().mergeSessions(a.id, b.id, Store::mergedDescription(a.description, b.description), kTolerance, now);
  EXPECT_EQ(merged, (WorkSession{a.id, garden, at(10, 0), at(11, 0), at(11, 0), EndReason::added, true,
                                 "Design; design", SessionTimes::real}));
  EXPECT_EQ(store().session(a.id), merged);
  EXPECT_EQ(store().session(b.id), std::nullopt);
  EXPECT_EQ(store().db().query("SELECT * FROM session_sources WHERE session_id = ?", {a.id}).size(), 2u);
}

TEST_F(StoreEditingTest, WhatCannotBeMerged) {
  const StoreError cannot(StoreError::Case::cannotMerge);
  const auto a = add(garden, at(9, 0), at(9, 20));
  const auto farther = add(garden, at(9, 25, 1), at(9, 40));  // 5 minutes and 1 second later
  expectRefused(cannot, [&] { store().mergeSessions(a.id, farther.id, std::nullopt, kTolerance, now); });

  const auto c = add(garden, at(10, 0), at(10, 20));
  (void)add(writing, at(10, 20), at(10, 22));
  const auto d = add(garden, at(10, 22), at(10, 40));  // another project's session lies between
  expectRefused(cannot, [&] { store().mergeSessions(c.id, d.id, std::nullopt, kTolerance, now); });

  (void)add(writing, at(10, 50), at(11, 10));  // began before both and runs through the gap
  const auto e = add(garden, at(10, 55), at(11, 0));
  const auto f = add(garden, at(11, 2), at(11, 5));
  expectRefused(cannot, [&] { store().mergeSessions(e.id, f.id, std::nullopt, kTolerance, now); });
  expectRefused(cannot, [&] { store().mergeSessions(e.id, e.id, std::nullopt, kTolerance, now); });
  expectRefused(StoreError(StoreError::Case::sessionNotFound),
                [&] { store().mergeSessions(e.id, 999, std::nullopt, kTolerance, now); });
  EXPECT_EQ(store().mergeableNeighbours(999, kTolerance, now), Store::Neighbours{});
}

TEST_F(StoreEditingTest, MergedEndReasons) {
  struct Case {
    const char* earlier;
    const char* later;
    std::optional<EndReason> merged;
  };
  for (const auto& c : {Case{"added", "imported", EndReason::merged}, Case{"imported", "imported", EndReason::imported},
                        Case{"idle", "manual", EndReason::manual}, Case{"manual", "added", EndReason::merged}}) {
    SCOPED_TRACE(std::string(c.earlier) + " + " + c.later);
    const auto a = add(garden, now - 7200, now - 3600);
    const auto b = add(garden, now - 3600, now - 1800);
    store().db().query("UPDATE sessions SET end_reason = ? WHERE id = ?", {c.earlier, a.id});
    store().db().query("UPDATE sessions SET end_reason = ? WHERE id = ?", {c.later, b.id});
    EXPECT_EQ(store().mergeSessions(a.id, b.id, std::nullopt, kTolerance, now).endReason, c.merged);
    store().deleteSession(a.id);
  }
}

}  // namespace
}  // namespace lumetra
