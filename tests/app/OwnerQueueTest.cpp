#include "host/OwnerQueue.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>

#include "control/ControlClient.hpp"
#include "control/ControlServer.hpp"
#include "control/SocketAddress.hpp"
#include "platform/FileDescriptor.hpp"
#include "platform/Socket.hpp"
#include "platform/UnixSocket.hpp"
#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

using namespace std::chrono_literals;
constexpr auto kNoBeat = std::chrono::milliseconds(3'600'000);

// Given a steady stream of jobs that never leaves the queue empty, expect the heartbeat to keep
// its pace on the same thread, and every job to run in order.
TEST(OwnerQueueTest, HeartbeatKeepsItsPaceUnderAStreamOfJobs) {
  std::atomic<int> beats = 0;
  std::thread::id beatThread, jobThread;
  std::vector<int> order;
  {
    OwnerQueue owner(20ms, [&] {
      beatThread = std::this_thread::get_id();
      ++beats;
    });
    const auto until = std::chrono::steady_clock::now() + 300ms;
    for (int i = 0; std::chrono::steady_clock::now() < until; ++i) {
      owner.schedule([&, i] {
        jobThread = std::this_thread::get_id();
        order.push_back(i);
        std::this_thread::sleep_for(1ms);
      });
      std::this_thread::sleep_for(500us);
    }
  }  // the destructor finishes every queued job
  EXPECT_GE(beats, 5);
  EXPECT_EQ(beatThread, jobThread);
  for (std::size_t i = 0; i < order.size(); ++i) ASSERT_EQ(order[i], static_cast<int>(i));
}

TEST(OwnerQueueTest, JobsAfterStopNeverRun) {
  OwnerQueue owner(kNoBeat, {});
  owner.stop();
  bool ran = false;
  owner.schedule([&] { ran = true; });
  owner.stop();
  EXPECT_FALSE(ran);
}

TEST(OwnerQueueRelayTest, RunsWorkOnTheOwnerThread) {
  OwnerQueue owner(kNoBeat, {});
  const auto schedule = [&](std::function<void()> job) { owner.schedule(std::move(job)); };
  EXPECT_EQ(ControlServer::relay(5, schedule, [] { return std::string("done"); }), "done");
  EXPECT_THROW((void)ControlServer::relay(5, schedule, []() -> std::string { throw std::runtime_error("x"); }),
               std::runtime_error);
}

// Given an owner thread blocked past the time-out, expect nothing back and the work never run,
// even after the owner frees up.
TEST(OwnerQueueRelayTest, AbandonsWorkNotStartedInTime) {
  OwnerQueue owner(kNoBeat, {});
  const auto schedule = [&](std::function<void()> job) { owner.schedule(std::move(job)); };
  std::promise<void> unblock;
  owner.schedule([blocked = unblock.get_future().share()] { blocked.wait(); });
  std::atomic<bool> ran = false;
  EXPECT_EQ(ControlServer::relay(0.2, schedule, [&] {
              ran = true;
              return std::string("late");
            }),
            std::nullopt);
  unblock.set_value();
  std::promise<void> drained;
  owner.schedule([&] { drained.set_value(); });
  drained.get_future().wait();
  EXPECT_FALSE(ran);
}

// Given work that begins within the time-out but runs past it, expect it finished and its
// answer returned.
TEST(OwnerQueueRelayTest, WaitsForWorkThatHasBegun) {
  OwnerQueue owner(kNoBeat, {});
  const auto schedule = [&](std::function<void()> job) { owner.schedule(std::move(job)); };
  EXPECT_EQ(ControlServer::relay(1.0, schedule,
                                 [] {
                                   std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                                   return std::string("slow but sure");
                                 }),
            "slow but sure");
}

// Given a server whose requests go onto the owner thread, expect each answered there; a reply
// longer than the socket takes at once finished by someone else while the owner serves the next
// client; and a request the stalled owner doesn't take up in time answered busy and never run.
TEST(OwnerQueueServerTest, OwnerAnswersItselfAndNeverWaitsOnAClient) {
  test::TemporaryDirectory folder;
  const auto path = ControlProtocol::socketURL(folder.path());
  OwnerQueue owner(kNoBeat, {});
  std::thread::id ownerThread;
  owner.schedule([&] { ownerThread = std::this_thread::get_id(); });
  std::vector<std::string> ran;  // the owner's alone
  const std::string big(8 << 20, 'b');
  ControlServer server(
      path,
      [&](const std::string& request) {
        EXPECT_EQ(std::this_thread::get_id(), ownerThread);
        ran.push_back(request);
        return request == "big" ? big : "done:" + request;
      },
      "busy", ControlServer::Owner{[&](std::function<void()> job) { owner.schedule(std::move(job)); }, 0.3});
  server.start();

  FileDescriptor reader(UnixSocket::openStream());
  ASSERT_EQ(UnixSocket::connectTo(reader.get(), SocketAddress(path).path()), 0);
  ASSERT_EQ(Socket::writeLine(reader.get(), "big"), 4U);
  EXPECT_EQ(ControlClient::exchange("a", path, 5), "done:a");  // while the big reply waits for its reader
  Socket::configure(reader.get(), 10);
  EXPECT_EQ(Socket::readLine(reader.get(), big.size()).line, big);

  std::promise<void> unblock;
  owner.schedule([blocked = unblock.get_future().share()] { blocked.wait(); });
  EXPECT_EQ(ControlClient::exchange("late", path, 5), "busy");
  unblock.set_value();
  EXPECT_EQ(ControlClient::exchange("b", path, 5), "done:b");
  std::promise<std::vector<std::string>> seen;
  owner.schedule([&] { seen.set_value(ran); });
  EXPECT_EQ(seen.get_future().get(), (std::vector<std::string>{"big", "a", "b"}));
}

}  // namespace
}  // namespace lumetra
