#include "tracking/Tracker.hpp"

#include "store/StoreFixture.hpp"

namespace lumetra {
namespace {

constexpr double kIdle = 600;

class TrackerTest : public test::StoreFixture {
 protected:
  void SetUp() override {
    garden = store().createProject("Garden", at(0, 0)).id;
    writing = store().createProject("Writing", at(0, 0)).id;
  }
  Tracker& tracker(Instant now = at(9, 0)) {
    if (!tracker_) tracker_ = std::make_unique<Tracker>(store(), kIdle, now);
    return *tracker_;
  }
  // Heartbeats every 5 seconds from `from` to `to` with the given idle seconds.
  std::optional<AutoStopEvent> beat(Instant from, Instant to, double idleSeconds) {
    for (Instant t = from; t <= to; t = t + 5) {
      if (auto event = tracker().tick(t, idleSeconds)) return event;
    }
    return std::nullopt;
  }

  std::int64_t garden = 0, writing = 0;
  std::unique_ptr<Tracker> tracker_;
};

TEST_F(TrackerTest, StartSwitchAndStop) {
  EXPECT_EQ(tracker().start(garden, " Beds ", at(9, 0)), std::nullopt);
  const auto first = *tracker().current();
  EXPECT_EQ(first.description, "Beds");
  // The same project and description, up to spaces, changes nothing.
  EXPECT_EQ(tracker().start(garden, "Beds\n", at(9, 10)), std::nullopt);
  EXPECT_EQ(tracker().current(), first);

  const auto switched = tracker().start(writing, std::nullopt, at(9, 30));
  ASSERT_TRUE(switched);
  EXPECT_EQ(switched->endReason, EndReason::switched);
  EXPECT_EQ(store().session(first.id)->endReason, EndReason::switched);
  EXPECT_EQ(tracker().current()->projectId, writing);

  const auto stopped = tracker().stop(at(10, 0), EndReason::manual);
  EXPECT_EQ(stopped->end, at(10, 0));
  EXPECT_EQ(store().openSession(), std::nullopt);
}

TEST_F(TrackerTest, SessionsUnderASecondAreDiscarded) {
  (void)tracker().start(garden, std::nullopt, at(9, 0));
  EXPECT_EQ(tracker().start(writing, std::nullopt, at(9, 0) + 0.2), std::nullopt);
  const auto left = store().sessions(std::nullopt, std::nullopt, std::nullopt);
  ASSERT_EQ(left.size(), 1u);  // SQLite may hand the freed id to the new row
  EXPECT_EQ(left.front().projectId, writing);
  EXPECT_EQ(left.front().id, tracker().current()->id);
  EXPECT_EQ(tracker().stop(at(9, 0) + 0.7, EndReason::manual), std::nullopt);
  EXPECT_TRUE(store().sessions(std::nullopt, std::nullopt, std::nullopt).empty());
}

TEST_F(TrackerTest, FormulaDescriptionRefusedBeforeAnythingChanges) {
  (void)tracker().start(garden, std::nullopt, at(9, 0));
  const auto before = dump();
  EXPECT_THROW((void)tracker().start(writing, "=x", at(9, 5)), StoreError);
  EXPECT_EQ(dump(), before);
  EXPECT_EQ(tracker().current()->projectId, garden);
}

// Given regular heartbeats, expect the stop at the last input once idle reaches the threshold.
TEST_F(TrackerTest, IdleStopsAtTheLastInput) {
  (void)tracker().start(garden, std::nullopt, at(9, 0));
  EXPECT_EQ(beat(at(9, 0) + 5, at(9, 10), 0), std::nullopt);
  for (double idle = 5; idle <= 590; idle += 5) {
    ASSERT_EQ(tracker().tick(at(9, 10) + idle, idle), std::nullopt) << idle;
  }
  EXPECT_EQ(tracker().current()->lastActive, at(9, 10));
  EXPECT_EQ(tracker().tick(at(9, 10) + 599, 599), std::nullopt);
  const auto event = tracker().tick(at(9, 10) + 600, 600);  // exactly the time-out
  ASSERT_TRUE(event);
  EXPECT_EQ(event->reason, EndReason::idle);
  EXPECT_EQ(event->endedAt, at(9, 10));
  EXPECT_EQ(event->retracted, 600);
  EXPECT_EQ(store().session(event->sessionId)->endReason, EndReason::idle);
  EXPECT_FALSE(tracker().isTracking());
}

TEST_F(TrackerTest, HeartbeatsPersistEveryFiveSecondsOfActivity) {
  (void)tracker().start(garden, std::nullopt, at(9, 0));
  const auto id = tracker().current()->id;
  (void)tracker().tick(at(9, 0) + 3, 0);
  EXPECT_EQ(store().session(id)->lastActive, at(9, 0));  // less than 5 s ahead: not written
  EXPECT_EQ(tracker().current()->lastActive, at(9, 0) + 3);
  (void)tracker().tick(at(9, 0) + 6, 0);
  EXPECT_EQ(store().session(id)->lastActive, at(9, 0) + 6);
}

TEST_F(TrackerTest, SleepStopsAtTheActivityBeforeIt) {
  (void)tracker().start(garden, std::nullopt, at(9, 0));
  (void)beat(at(9, 0) + 5, at(9, 10), 0);
  // Two hours later the platform reports a small idle time; the gap and the old activity win.
  const auto event = tracker().tick(at(11, 10), 3);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->reason, EndReason::asleep);
  EXPECT_EQ(event->endedAt, at(9, 10));
  EXPECT_EQ(event->retracted, 7200);
}

TEST_F(TrackerTest, HeartbeatGapWithRecentInputKeepsTracking) {
  (void)tracker().start(garden, std::nullopt, at(9, 0));
  EXPECT_EQ(tracker().tick(at(9, 0) + 45, 2), std::nullopt);
  EXPECT_TRUE(tracker().isTracking());
}

// Given a session started while the user was already idle, expect it deleted by the idle stop
// and the event still reported, so that resuming starts a new session.
TEST_F(TrackerTest, SessionStartedWhileIdleIsDiscardedButReported) {
  (void)tracker().start(garden, "Beds", at(9, 0));
  const auto event = beat(at(9, 0) + 5, at(9, 20), 700);
  ASSERT_TRUE(event);
  EXPECT_EQ(event->endedAt, at(9, 0));
  EXPECT_EQ(store().session(event->sessionId), std::nullopt);
  const auto resumed = tracker().resume(*event, at(9, 30));
  EXPECT_EQ(resumed.projectId, garden);
  EXPECT_EQ(resumed.description, "Beds");
  EXPECT_EQ(resumed.start, at(9, 30));
}

TEST_F(TrackerTest, RecoveryAfterARestart) {
  const auto open = store().insertSession(garden, at(9, 0), std::nullopt);
  store().updateLastActive(open.id, at(9, 30));
  {
    Tracker continued(store(), kIdle, at(9, 35));  // away 5 minutes: continues
    EXPECT_EQ(continued.current()->id, open.id);
    EXPECT_EQ(continued.recoveryEvent(), std::nullopt);
  }
  Tracker recovered(store(), kIdle, at(9, 50));  // away 20 minutes: closed at its last activity
  EXPECT_FALSE(recovered.isTracking());
  EXPECT_EQ(recovered.recoveryEvent(),
            (AutoStopEvent{open.id, garden, at(9, 0), std::nullopt, at(9, 30), 1200, EndReason::recovered}));
  EXPECT_EQ(store().session(open.id)->end, at(9, 30));
  EXPECT_EQ(store().session(open.id)->endReason, EndReason::recovered);
}

TEST_F(TrackerTest, ResumeWindowBoundary) {
  const auto last = store().insertSession(garden, at(8, 0), "Beds");
  store().closeSession(last.id, at(9, 0), at(9, 0), EndReason::manual);
  EXPECT_EQ(tracker(at(9, 0) + 86'400 - 60).resumableSession(at(9, 0) + 86'400 - 60)->id, last.id);
  EXPECT_EQ(tracker().resumableSession(at(9, 0) + 86'400), std::nullopt);
  EXPECT_THROW((void)tracker().resumeLastSession(at(9, 0) + 86'400), ResumeError);
  const auto resumed = tracker().resumeLastSession(at(10, 0));
  EXPECT_NE(resumed.id, last.id);
  EXPECT_EQ(resumed.description, "Beds");
  EXPECT_THROW((void)tracker().resumeLastSession(at(10, 5)), ResumeError);
}

TEST_F(TrackerTest, ResumeRefusals) {
  const auto last = store().insertSession(garden, at(8, 0), std::nullopt);
  store().closeSession(last.id, at(9, 0), at(9, 0), EndReason::manual);
  store().setArchived(garden, true);
  const auto error = test::thrown<ResumeError>([&] { (void)tracker().resume(last.id, false, at(10, 0)); });
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, ResumeError(ResumeError::Case::projectUnavailable));
  EXPECT_EQ(error->description(), "That session's project is archived or deleted. Unarchive it to track it again.");
  EXPECT_EQ(tracker().resumableSession(at(10, 0)), std::nullopt);
  EXPECT_THROW((void)tracker().resume(999, false, at(10, 0)), StoreError);
  (void)tracker().start(writing, std::nullopt, at(10, 0));
  EXPECT_EQ(test::thrownText<ResumeError>([&] { (void)tracker().resumeLastSession(at(10, 5)); }),
            "Something is already being tracked. Use start to switch to a project.");
  // Hand-entered sessions are never the last tracked one.
  store().setArchived(garden, false);
  (void)tracker().stop(at(10, 10), EndReason::manual);
  (void)store().addSession(garden, at(10, 20), at(10, 30), std::nullopt, at(11, 0));
  EXPECT_EQ(tracker().resumableSession(at(11, 0))->projectId, writing);
}

TEST_F(TrackerTest, GuardedEditsKeepTheRunningSessionInStep) {
  (void)tracker().start(garden, std::nullopt, at(9, 0));
  const auto id = tracker().current()->id;
  EXPECT_EQ(tracker().setDescription(id, "Beds").description, "Beds");

  // Editing the running session's times keeps it running even when an end is given.
  const auto edited = tracker().editSession(id, writing, at(8, 30), at(9, 10), at(9, 20));
  EXPECT_TRUE(edited.isOpen());
  EXPECT_EQ(tracker().current(), edited);
  EXPECT_EQ(store().openSession(), edited);

  // Splitting keeps its second part running.
  const auto parts = tracker().splitSession(id, at(9, 0), std::nullopt, std::nullopt, at(9, 20));
  EXPECT_EQ(tracker().current(), parts.second);
  EXPECT_EQ(store().openSession(), parts.second);

  // Merging into the running session keeps the merged one running.
  const auto merged = tracker().mergeSessions(parts.first.id, parts.second.id, std::nullopt, at(9, 25));
  EXPECT_EQ(tracker().current(), merged);
  EXPECT_EQ(store().openSession(), merged);

  tracker().deleteSession(merged.id);
  EXPECT_FALSE(tracker().isTracking());
}

TEST_F(TrackerTest, RemovingTheRunningProjectStopsIt) {
  (void)tracker().start(garden, std::nullopt, at(9, 0));
  tracker().projectRemoved(writing, at(9, 10));
  EXPECT_TRUE(tracker().isTracking());
  const auto id = tracker().current()->id;
  tracker().projectRemoved(garden, at(9, 10));
  EXPECT_FALSE(tracker().isTracking());
  EXPECT_EQ(store().session(id)->endReason, EndReason::archived);
}

TEST_F(TrackerTest, CanResumeAnAutomaticStop) {
  const AutoStopEvent event{42, garden, at(8, 0), "Old", at(9, 0), 600, EndReason::idle};
  EXPECT_TRUE(tracker().canResume(event, at(9, 0) + 86'399));
  EXPECT_FALSE(tracker().canResume(event, at(9, 0) + 86'400));
  store().setArchived(garden, true);
  EXPECT_FALSE(tracker().canResume(event, at(9, 30)));
  EXPECT_THROW((void)tracker().resume(event, at(9, 30)), ResumeError);
}

}  // namespace
}  // namespace lumetra
