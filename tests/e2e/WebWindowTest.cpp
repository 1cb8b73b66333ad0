// The window served by the real host: a real Chromium clicking through it, and the refusals a
// client without the page's rights meets, over plain HTTP on real sockets.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gmock/gmock.h>


#include "e2e/HostFixture.hpp"
#include "platform/FileSystem.hpp"

namespace lumetra {
namespace {

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;
using namespace std::string_literals;

// One request on a fresh connection, the whole answer back; nothing for a refused connection.
std::optional<std::string> exchange(const std::string& address, int port, const std::string& request) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<std::uint16_t>(port));
  ::inet_pton(AF_INET, address.c_str(), &peer.sin_addr);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  (void)::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string answer;
  char buffer[4096];
  for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return answer;
}

class WebWindowTest : public test::HostFixture {
 protected:
  WebWindowTest() { webPort = "0"; }

  void SetUp() override {
    HostFixture::SetUp();
    const auto opened = app({"open"});
    ASSERT_EQ(opened.status, 0) << opened.err << log();
    // "Lumetra's window: http://127.0.0.1:PORT/?token=TOKEN" (std::regex would do, but GCC warns on it
    // under the sanitizers).
    const std::string prefix = "Lumetra's window: http://127.0.0.1:", marker = "/?token=";
    ASSERT_TRUE(opened.out.starts_with(prefix)) << opened.out;
    const auto at = opened.out.find(marker);
    ASSERT_NE(at, std::string::npos) << opened.out;
    port = std::stoi(opened.out.substr(prefix.size(), at - prefix.size()));
    token = opened.out.substr(at + marker.size(), 64);
    ASSERT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos) << opened.out;
    ASSERT_EQ(opened.out.size(), at + marker.size() + 64 + 1) << opened.out;
    hostHeader = "127.0.0.1:" + std::to_string(port);
    cookie = "lumetra-" + std::to_string(port) + "=" + token;
  }

  // A request with the page's rights, less whatever `drop` names, plus `extra` header lines.
  std::string request(const std::string& method, const std::string& target, const std::string& body = {},
                      const std::string& drop = {}, const std::string& extra = {}) {
    std::string text = method + " " + target + " HTTP/1.1\r\nConnection: close\r\n";
    if (drop != "Host") text += "Host: " + hostHeader + "\r\n";
    if (drop != "Cookie") text += "Cookie: " + cookie + "\r\n";
    if (method == "POST" && drop != "Origin") text += "Origin: http://" + hostHeader + "\r\n";
    if (method == "POST" && drop != "Content-Type") text += "Content-Type: application/json\r\n";
    text += extra;
    if (!body.empty() || method == "POST") text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return exchange("127.0.0.1", port, text + "\r\n" + body).value_or("(refused)");
  }

  int port = 0;
  std::string token, hostHeader, cookie;
};

TEST_F(WebWindowTest, AChromiumDrivesTheHost) {
  const std::filesystem::path client = LUMETRA_WEB_CLIENT_DIR;
  ASSERT_TRUE(std::filesystem::exists(client / "node_modules/puppeteer-core"))
      << "the page test's packages are missing: scripts/test installs them with npm ci";
  ASSERT_EQ(app({"project", "add", "Garden"}).status, 0);
  ASSERT_EQ(app({"project", "add", "Writing"}).status, 0);
  const std::filesystem::path shots = LUMETRA_SCREENSHOT_DIR;
  std::filesystem::create_directories(shots);
  auto env = environment();
  const auto result = test::runProcess("/usr/bin/env", {"node", (client / "page.mjs").string(), LUMETRA_APP_PATH,
                                                        LUMETRA_TOOL_PATH, shots.string()}, env);
  EXPECT_EQ(result.status, 0) << result.out << result.err << log();
}

TEST_F(WebWindowTest, OnlyThePageItselfGetsIn) {
  const std::string status = R"({"version":1,"command":"status"})";
  const std::string start = R"({"version":1,"command":"start","project":"Garden"})";
  ASSERT_EQ(app({"project", "add", "Garden"}).status, 0);
  const auto dump = [&] { return app({"export"}).out + tool({"status"}).out; };
  const std::string before = dump();

  // What the page's own requests get, and nothing that opens it to other origins.
  const auto page = request("GET", "/");
  EXPECT_THAT(page, StartsWith("HTTP/1.1 200"));
  EXPECT_THAT(page, HasSubstr("Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self';"));
  EXPECT_THAT(page, Not(HasSubstr("Access-Control-")));
  EXPECT_THAT(request("POST", "/api/control", status), HasSubstr(R"("ok":true)"));

  const auto exchangeToken = request("GET", "/?token=" + token, {}, "Cookie");
  EXPECT_THAT(exchangeToken, StartsWith("HTTP/1.1 303"));
  EXPECT_THAT(exchangeToken, HasSubstr("Set-Cookie: " + cookie + "; Path=/; HttpOnly; SameSite=Strict"));
  EXPECT_THAT(exchangeToken, HasSubstr("Location: /\r\n"));

  struct Refusal {
    const char* what;
    std::string answer;
    const char* status;
  };
  const std::string stranger = "GET / HTTP/1.1\r\nHost: " + hostHeader + "\r\nConnection: close\r\n\r\n";
  const std::vector<Refusal> refusals{
      {"no cookie", request("GET", "/"s, {}, "Cookie"), "401"},
      {"no cookie for the data", request("GET", "/api/revision", {}, "Cookie"), "401"},
      {"a wrong token", request("GET", "/?token=" + std::string(64, '0'), {}, "Cookie"), "401"},
      {"a wrong cookie", request("GET", "/", {}, "Cookie", "Cookie: lumetra-" + std::to_string(port) + "=x\r\n"), "401"},
      {"a rebound name", request("GET", "/", {}, "Host", "Host: attacker.example:" + std::to_string(port) + "\r\n"), "421"},
      {"no Host", request("GET", "/", {}, "Host"), "4"},
      {"another port in Host", request("GET", "/", {}, "Host", "Host: 127.0.0.1:1\r\n"), "421"},
      {"a cross-origin POST", request("POST", "/api/control", start, "Origin", "Origin: http://attacker.example\r\n"), "403"},
      {"a POST without Origin", request("POST", "/api/control", start, "Origin"), "403"},
      {"a form's POST", request("POST", "/api/control", start, "Content-Type",
                                "Content-Type: application/x-www-form-urlencoded\r\n"), "415"},
      {"a GET of an action", request("GET", "/api/control?version=1&command=start&project=Garden"), "404"},
      {"another method", request("DELETE", "/api/control"), "405"},
      {"a body over the limit", request("POST", "/api/control", {}, {}, "Content-Length: 30000000\r\n"), "413"},
  };
  for (const auto& refusal : refusals) {
    SCOPED_TRACE(refusal.what);
    EXPECT_THAT(refusal.answer, StartsWith("HTTP/1.1 "s + refusal.status));
    EXPECT_THAT(refusal.answer, Not(HasSubstr("Access-Control-")));
    EXPECT_THAT(refusal.answer, Not(HasSubstr(token)));
  }
  EXPECT_EQ(dump(), before);

  // Only the loopback address answers.
  EXPECT_EQ(exchange("127.0.0.2", port, stranger), std::nullopt);
  ifaddrs* interfaces = nullptr;
  ASSERT_EQ(::getifaddrs(&interfaces), 0);
  for (const ifaddrs* i = interfaces; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    char text[INET_ADDRSTRLEN];
    ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr, text, sizeof text);
    if (std::string(text) != "127.0.0.1") {
      EXPECT_EQ(exchange(text, port, stranger), std::nullopt) << text;
    }
  }
  ::freeifaddrs(interfaces);
}

// With a display, `open` hands xdg-open (here a stand-in that writes down what it gets) the
// private page that forwards to the address: the token is in no process's arguments.
TEST_F(WebWindowTest, OpenHandsTheBrowserAPrivatePage) {
  test::TemporaryDirectory bin;
  const auto opener = bin.path() / "xdg-open";
  std::ofstream(opener) << "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.part\" && mv \"$0.part\" \"$0.seen\"\n";
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  auto env = environment();
  env["DISPLAY"] = ":0";
  env["PATH"] = bin.path().string() + ":" + std::string(std::getenv("PATH"));
  const auto opened = test::runProcess(LUMETRA_APP_PATH, {"open"}, env);
  ASSERT_EQ(opened.status, 0) << opened.err;
  ASSERT_TRUE(test::waitForPath(bin.path() / "xdg-open.seen"));
  std::ifstream seen(bin.path() / "xdg-open.seen");
  const std::filesystem::path page(std::string(std::istreambuf_iterator<char>(seen), {}));
  EXPECT_EQ(page, data() / "lumetra-window.html");
  EXPECT_EQ(std::filesystem::status(page).permissions(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  const std::string address = opened.out.substr(std::string("Lumetra's window: ").size(), opened.out.size() - 19);
  EXPECT_THAT(FileSystem::readFile(page), testing::HasSubstr("content=\"0; url=" + address + "\""));
  stopHost();
  EXPECT_FALSE(std::filesystem::exists(page));
}

// Given the window's port taken (another host's window), expect the window on a free port, and
// `open` pointing to it.
TEST_F(WebWindowTest, ABusyPortMovesTheWindowToAFreeOne) {
  test::TemporaryDirectory other;
  auto env = environment();
  env["LUMETRA_DATA_DIR"] = (other.path() / "data").string();
  env["LUMETRA_WEB_PORT"] = std::to_string(port);
  test::BackgroundProcess second(LUMETRA_APP_PATH, {}, env, other.path() / "host.log");
  ASSERT_TRUE(test::waitForPath(other.path() / "data" / "lumetra.sock"));
  const auto opened = test::runProcess(LUMETRA_APP_PATH, {"open"}, env);
  EXPECT_EQ(opened.status, 0) << opened.err;
  EXPECT_THAT(opened.out, testing::StartsWith("Lumetra's window: http://127.0.0.1:"));
  EXPECT_THAT(opened.out, testing::Not(testing::HasSubstr(":" + std::to_string(port) + "/")));
  EXPECT_EQ(second.stop(SIGTERM), 0);
  EXPECT_THAT(FileSystem::readFile(other.path() / "host.log"),
              testing::HasSubstr("The window's port " + std::to_string(port) + " is in use, so the window is on port "));
}

}  // namespace
}  // namespace lumetra
