#include "control/ControlServer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>

#include "control/ControlClient.hpp"
#include "control/SocketAddress.hpp"
#include "control/SocketError.hpp"
#include "host/OwnerQueue.hpp"
#include "platform/FileDescriptor.hpp"
#include "platform/Socket.hpp"
#include "platform/UnixSocket.hpp"
#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

using Clock = std::chrono::steady_clock;

// A raw client connection, for sending what a well-behaved client never would.
FileDescriptor connectTo(const std::filesystem::path& path) {
  FileDescriptor fd(UnixSocket::openStream());
  EXPECT_EQ(UnixSocket::connectTo(fd.get(), SocketAddress(path).path()), 0);
  Socket::configure(fd.get(), 10);
  return fd;
}

std::string sendRaw(const std::filesystem::path& path, const std::string& bytes, bool halfClose = false) {
  auto fd = connectTo(path);
  EXPECT_TRUE(Socket::writeAll(fd.get(), bytes));
  if (halfClose) ::shutdown(fd.get(), SHUT_WR);
  const auto reply = Socket::readLine(fd.get(), ControlClient::maxReplySize);
  return reply.kind == Socket::LineRead::Kind::line ? "reply:" + reply.line : "no reply";
}

class ControlServerTest : public testing::Test {
 protected:
  std::filesystem::path socketPath() const { return ControlProtocol::socketURL(folder.path()); }
  ControlServer::Owner onOwner() { return {[this](auto job) { owner.schedule(std::move(job)); }}; }

  // Starts a server that echoes each request's length and bytes and records them.
  std::unique_ptr<ControlServer> echoServer() {
    auto server = std::make_unique<ControlServer>(socketPath(), [this](const std::string& request) {
      std::lock_guard lock(seenLock);
      seen.push_back(request);
      return std::to_string(request.size()) + ":" + request.substr(0, 16);
    }, "busy", onOwner());
    server->start();
    return server;
  }

  test::TemporaryDirectory folder;
  OwnerQueue owner{std::chrono::hours(1), nullptr};
  std::mutex seenLock;
  std::vector<std::string> seen;
};

TEST_F(ControlServerTest, ExchangeCarriesOneRequestAndOneReply) {
  auto server = echoServer();
  struct stat info {};
  ASSERT_EQ(::stat(socketPath().c_str(), &info), 0);
  EXPECT_TRUE(S_ISSOCK(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(ControlClient::exchange("hello", socketPath(), 5), "5:hello");
  server->stop();
  EXPECT_FALSE(std::filesystem::exists(socketPath()));
  EXPECT_FALSE(std::filesystem::exists(folder / (".qv" + std::to_string(::getpid()))));
}

TEST_F(ControlServerTest, FramingEdges) {
  auto server = echoServer();
  EXPECT_EQ(sendRaw(socketPath(), "first\nsecond\n"), "reply:5:first");
  EXPECT_EQ(sendRaw(socketPath(), "no newline", true), "reply:10:no newline");
  EXPECT_EQ(sendRaw(socketPath(), "\n"), "reply:0:");
  EXPECT_EQ(sendRaw(socketPath(), "", true), "no reply");
}

TEST_F(ControlServerTest, RequestOfExactlyTheLimitIsServedOneMoreIsNot) {
  auto server = echoServer();
  const std::string exact(ControlProtocol::maxRequestSize, 'x');
  EXPECT_EQ(sendRaw(socketPath(), exact + "\n"), "reply:16777216:xxxxxxxxxxxxxxxx");
  EXPECT_EQ(sendRaw(socketPath(), exact + "x\n"), "no reply");
  EXPECT_EQ(sendRaw(socketPath(), exact + "x", true), "no reply");
}

TEST_F(ControlServerTest, ClientReportsMissingAndStaleSockets) {
  const ControlError notRunning(ControlError::Code::notRunning,
                                "Lumetra isn't running. Start it with lumetra-app and try again.");
  auto started = Clock::now();
  EXPECT_EQ(test::thrown<ControlError>([&] { (void)ControlClient::exchange("x", socketPath(), 5); }), notRunning);
  EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(150));  // no file: no retries

  // A socket file that nobody listens on: refused, retried five times 200 ms apart.
  {
    FileDescriptor stale(UnixSocket::openStream());
    ASSERT_EQ(UnixSocket::bindTo(stale.get(), SocketAddress(socketPath()).path()), 0);
  }
  started = Clock::now();
  EXPECT_EQ(test::thrown<ControlError>([&] { (void)ControlClient::exchange("x", socketPath(), 5); }), notRunning);
  EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(950));
}

TEST_F(ControlServerTest, ServerThatNeverAnswersTimesOut) {
  std::promise<void> release;
  auto released = release.get_future().share();
  ControlServer server(socketPath(), [released](const std::string&) {
    released.wait();
    return std::string("late");
  }, "busy", onOwner());
  server.start();
  EXPECT_EQ(test::thrown<ControlError>([&] { (void)ControlClient::exchange("x", socketPath(), 0.3); }),
            ControlError(ControlError::Code::timedOut, "Lumetra didn't answer within 1 seconds."));
  release.set_value();
}

TEST_F(ControlServerTest, PathLengthLimits) {
  // Pad the folder's path so that the socket path has exactly 103, then 104, bytes.
  const auto pathOfLength = [&](std::size_t length) {
    const std::string base = folder.path().string() + "/";
    return std::filesystem::path(base + std::string(length - base.size(), 's'));
  };
  const auto fits = pathOfLength(SocketAddress::maxPathBytes);
  ControlServer fitting(fits, [](const std::string&) { return std::string("ok"); }, "busy", onOwner());
  fitting.start();
  EXPECT_EQ(ControlClient::exchange("x", fits, 5), "ok");

  const auto tooLong = pathOfLength(SocketAddress::maxPathBytes + 1);
  ControlServer failing(tooLong, [](const std::string&) { return std::string("ok"); }, "busy", onOwner());
  const auto error = test::thrown<SocketError>([&] { failing.start(); });
  EXPECT_EQ(error, SocketError::pathTooLong(tooLong.string()));
  EXPECT_EQ(test::thrown<ControlError>([&] { (void)ControlClient::exchange("x", tooLong, 5); }),
            ControlError(ControlError::Code::failed, "The socket path is too long: " + tooLong.string()));
}

TEST_F(ControlServerTest, StartFailuresLeaveNothingBehind) {
  ControlServer server(folder / "missing" / "lumetra.sock", [](const std::string&) { return std::string(); }, "busy", onOwner());
  const auto error = test::thrown<SocketError>([&] { server.start(); });
  ASSERT_TRUE(error);
  EXPECT_EQ(*error, SocketError::system("bind", ENOENT));
  EXPECT_EQ(error->description(), "bind failed: No such file or directory");
  EXPECT_FALSE(server.isListening());
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST_F(ControlServerTest, SecondServerTakesOverTheSocketFile) {
  ControlServer first(socketPath(), [](const std::string&) { return std::string("first"); }, "busy", onOwner());
  first.start();
  ControlServer second(socketPath(), [](const std::string&) { return std::string("second"); }, "busy", onOwner());
  second.start();
  EXPECT_EQ(ControlClient::exchange("x", socketPath(), 5), "second");
  first.stop();  // the file is the second server's now: it stays
  EXPECT_EQ(ControlClient::exchange("x", socketPath(), 5), "second");
}

// Given the owner held by one request and the rest of the room taken by waiting ones, expect the
// next request answered at once with the busy reply.
TEST_F(ControlServerTest, RequestsBeyondTheLimitAreAnsweredBusy) {
  std::promise<void> release;
  auto released = release.get_future().share();
  ControlServer server(
      socketPath(),
      [&](const std::string&) {
        released.wait();
        return std::string("done");
      },
      "busy", onOwner());
  server.start();
  std::vector<std::future<std::string>> held;
  for (int i = 0; i < ControlServer::maxActive; ++i) {
    held.push_back(std::async(std::launch::async, [this] { return ControlClient::exchange("x", socketPath(), 10); }));
  }
  while (server.TEST_requestsInHand() < ControlServer::maxActive) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(ControlClient::exchange("x", socketPath(), 10), "busy");
  release.set_value();
  for (auto& reply : held) EXPECT_EQ(reply.get(), "done");
}

// Given a read held on the reader thread, expect other requests still answered on the owner's,
// and the read answered by its own handler once let go.
TEST_F(ControlServerTest, ReadsGoToTheReaderAndHoldNobodyUp) {
  std::promise<void> release;
  auto released = release.get_future().share();
  OwnerQueue reader{std::chrono::hours(1), nullptr};
  auto owner = onOwner();
  owner.reader = ControlServer::Reader{[&](auto job) { reader.schedule(std::move(job)); },
                                       [](const std::string& request) { return request == "report"; },
                                       [&](const std::string&) {
                                         released.wait();
                                         return std::string("read");
                                       }};
  ControlServer server(socketPath(), [](const std::string& request) { return "owner:" + request; }, "busy", owner);
  server.start();
  auto read = std::async(std::launch::async, [this] { return ControlClient::exchange("report", socketPath(), 10); });
  while (server.TEST_requestsInHand() < 1) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(ControlClient::exchange("status", socketPath(), 5), "owner:status");
  release.set_value();
  EXPECT_EQ(read.get(), "read");
}

// Given a client running as another user, expect the connection closed without a reply.
TEST_F(ControlServerTest, OtherUsersAreTurnedAway) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  auto server = echoServer();
  ASSERT_EQ(::chmod(socketPath().c_str(), 0777), 0);
  ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
  // The real tool as another user, started fresh: forking this threaded process could hang.
  const auto result = test::runProcess(
      "/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", LUMETRA_TOOL_PATH, "status"},
      {{"LUMETRA_DATA_DIR", folder.path().string()}});
  if (result.status == 126 || result.status == 127) GTEST_SKIP() << "the tool isn't reachable as another user";
  EXPECT_EQ(result.status, 1);
  // Closed at once: the tool finds out while sending or while waiting for the answer.
  EXPECT_THAT(result.err, testing::AnyOf("lumetra: Lumetra closed the connection without answering.\n",
                                         "lumetra: Couldn't send the request (Broken pipe).\n"));
  EXPECT_TRUE(seen.empty());
}

}  // namespace
}  // namespace lumetra
