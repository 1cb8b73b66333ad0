// The window's server against clients that would hold it: slow and idle connections, endless
// headers, a body in chunks past the limit, and requests sent back to back on one connection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "e2e/HostFixture.hpp"

namespace lumetra {
namespace {

using Clock = std::chrono::steady_clock;

class WebProbeTest : public test::HostFixture {
 protected:
  WebProbeTest() {
    webPort = "0";
#if defined(__SANITIZE_ADDRESS__)
    // Memory AddressSanitizer holds back after a free would read as memory the host kept.
    const char* options = std::getenv("ASAN_OPTIONS");
    extraEnvironment["ASAN_OPTIONS"] = std::string(options ? options : "") + ":quarantine_size_mb=0:thread_local_quarantine_size_kb=0";
#endif
  }
  void SetUp() override {
    HostFixture::SetUp();
    const std::string opened = app({"open"}).out, marker = "127.0.0.1:";
    const auto at = opened.find(marker) + marker.size();
    port = std::stoi(opened.substr(at));
    cookie = "lumetra-" + std::to_string(port) + "=" + opened.substr(opened.find("token=") + 6, 64);
  }
  int connectToWindow() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<std::uint16_t>(port));
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0 ? fd : (::close(fd), -1);
  }
  std::string page(const std::string& path = "/api/revision") {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\nCookie: " + cookie + "\r\n";
  }
  // Sends the bytes and reads until the peer closes or `seconds` pass.
  static std::string talk(int fd, const std::string& bytes, double seconds = 5) {
    timeval wait{static_cast<time_t>(seconds), 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    for (std::size_t sent = 0; sent < bytes.size();) {
      const ssize_t n = ::send(fd, bytes.data() + sent, std::min<std::size_t>(bytes.size() - sent, 1 << 16), MSG_NOSIGNAL);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return answer;
  }
  long residentKB() {
    std::ifstream status("/proc/" + std::to_string(host->pid()) + "/status");
    for (std::string line; std::getline(status, line);) {
      if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    }
    return 0;
  }

  int port = 0;
  std::string cookie;
};

// Given 2,000 idle connections and 200 that send a byte a second, expect the page to answer
// within 2 seconds.
TEST_F(WebProbeTest, SlowAndIdleConnectionsDontHoldThePage) {
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4096);
  ::setrlimit(RLIMIT_NOFILE, &limit);
  if (limit.rlim_cur < 2400) GTEST_SKIP() << "too few descriptors here";
  std::vector<int> idle, slow;
  for (int i = 0; i < 2000; ++i) idle.push_back(connectToWindow());
  for (int i = 0; i < 200; ++i) slow.push_back(connectToWindow());
  std::atomic<bool> done = false;
  std::thread trickle([&] {
    const std::string request = page();
    for (std::size_t at = 0; !done && at < request.size(); ++at) {
      for (const int fd : slow) (void)::send(fd, &request[at], 1, MSG_NOSIGNAL);
      for (int i = 0; i < 10 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const auto asked = Clock::now();
  const auto answer = talk(connectToWindow(), page() + "Connection: close\r\n\r\n", 2);
  EXPECT_LT(Clock::now() - asked, std::chrono::seconds(2));
  EXPECT_THAT(answer, testing::StartsWith("HTTP/1.1 200"));
  done = true;
  trickle.join();
  for (const int fd : idle) ::close(fd);
  for (const int fd : slow) ::close(fd);
}

// Endless headers are refused without the host keeping them; a body sent in chunks is cut off
// where it passes the limit; requests sent back to back are answered in order.
TEST_F(WebProbeTest, HeadersBodiesAndPipelines) {
  const long before = residentKB();
  std::string headers = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
  for (int i = 0; i < 2'000'000; ++i) headers += "X-a: b\r\n";
  EXPECT_THAT(talk(connectToWindow(), headers + "\r\n"), Not(testing::HasSubstr("200 OK")));
  EXPECT_LT(residentKB() - before, 8 * 1024);

  std::string chunked = "POST /api/control HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\nCookie: " + cookie +
                        "\r\nOrigin: http://127.0.0.1:" + std::to_string(port) +
                        "\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string chunk(1 << 20, 'x');
  for (int i = 0; i < 25; ++i) chunked += "100000\r\n" + chunk + "\r\n";
  // Answered 413 and closed; the client, still sending, may see only the connection reset.
  const auto cut = talk(connectToWindow(), chunked + "0\r\n\r\n");
  EXPECT_TRUE(cut.empty() || cut.starts_with("HTTP/1.1 413")) << cut.substr(0, 100);
  EXPECT_LT(residentKB() - before, 40 * 1024);

  const auto answers = talk(connectToWindow(), page("/api/revision") + "\r\n" + page("/app.css") + "Connection: close\r\n\r\n");
  const auto first = answers.find("HTTP/1.1 200"), second = answers.find("HTTP/1.1 200", first + 1);
  ASSERT_NE(second, std::string::npos) << answers.substr(0, 300);
  EXPECT_NE(answers.find("revision"), std::string::npos);
  EXPECT_LT(answers.find("revision"), second);  // the first request's answer first
}

}  // namespace
}  // namespace lumetra
