// Two computers on one machine: two real Syncthing instances keeping a folder equal over
// loopback, and two real hosts, each driven by the real programs. Every wait is bounded.
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include "platform/FileSystem.hpp"
#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kSyncthing = "/usr/bin/syncthing";

int freePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

std::string replaced(std::string text, const std::string& pattern, const std::string& with) {
  return std::regex_replace(text, std::regex(pattern), with);
}

// One computer: its Syncthing, its folder and its Lumetra.
struct Computer {
  std::string name;
  fs::path root, synced, data, settings;
  std::string device;
  int guiPort = freePort(), listenPort = freePort();
  std::unique_ptr<test::BackgroundProcess> syncthing, host;

  std::map<std::string, std::string> environment() const {
    return {{"LUMETRA_DATA_DIR", data.string()}, {"LUMETRA_WEB_PORT", "off"}, {"DISPLAY", ""},
            {"TZ", test::kTestTimeZone}, {"XDG_CONFIG_HOME", settings.string()}, {"HOME", root.string()},
            {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"}, {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent"}};
  }
  test::ProcessResult app(std::vector<std::string> words) const {
    return test::runProcess(LUMETRA_APP_PATH, words, environment());
  }
  test::ProcessResult tool(std::vector<std::string> words) const {
    return test::runProcess(LUMETRA_TOOL_PATH, words, environment());
  }
  std::string config() const { return (settings / "syncthing" / "config.xml").string(); }
};

class SyncthingTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kSyncthing)) GTEST_SKIP() << "syncthing isn't installed";
    for (auto* c : {&laptop, &desktop}) {
      c->root = folder / c->name;
      c->synced = c->root / "Sync";
      c->data = c->root / "data";
      c->settings = c->root / "settings";
      fs::create_directories(c->synced / ".stfolder");
      const auto made = test::runProcess(kSyncthing, {"generate", "--home=" + (c->settings / "syncthing").string(),
                                                      "--no-default-folder", "--skip-port-probing"},
                                         c->environment());
      ASSERT_EQ(made.status, 0) << made.err;
      std::smatch id;
      const std::string xml = FileSystem::readFile(c->config());
      ASSERT_TRUE(std::regex_search(xml, id, std::regex("<device id=\"([A-Z0-9-]+)\"")));
      c->device = id[1];
    }
    for (auto [c, peer] : {std::pair{&laptop, &desktop}, {&desktop, &laptop}}) {
      std::string xml = FileSystem::readFile(c->config());
      // Loopback only: no discovery, relays, NAT, reports or upgrades.
      for (const auto& [tag, value] : std::vector<std::pair<std::string, std::string>>{
               {"listenAddress", "tcp://127.0.0.1:" + std::to_string(c->listenPort)},
               {"globalAnnounceEnabled", "false"}, {"localAnnounceEnabled", "false"}, {"relaysEnabled", "false"},
               {"natEnabled", "false"}, {"urAccepted", "-1"}, {"crashReportingEnabled", "false"},
               {"autoUpgradeIntervalH", "0"}, {"startBrowser", "false"}, {"reconnectionIntervalS", "1"}}) {
        xml = replaced(xml, "<" + tag + ">[^<]*</" + tag + ">", "<" + tag + ">" + value + "</" + tag + ">");
      }
      xml = replaced(xml, "<address>127.0.0.1:8384</address>", "<address>127.0.0.1:" + std::to_string(c->guiPort) + "</address>");
      const std::string shared =
          "    <folder id=\"lumetra\" label=\"Lumetra\" path=\"" + c->synced.string() +
          "\" type=\"sendreceive\" rescanIntervalS=\"3600\" fsWatcherEnabled=\"true\" fsWatcherDelayS=\"1\">\n"
          "        <device id=\"" + c->device + "\" introducedBy=\"\"></device>\n"
          "        <device id=\"" + peer->device + "\" introducedBy=\"\"></device>\n"
          "    </folder>\n"
          "    <device id=\"" + peer->device + "\" name=\"" + peer->name + "\" compression=\"metadata\" introducer=\"false\">\n"
          "        <address>tcp://127.0.0.1:" + std::to_string(peer->listenPort) + "</address>\n"
          "    </device>\n    <gui ";
      xml = replaced(xml, "    <gui ", shared);
      std::ofstream(c->config()) << xml;
    }
    for (auto* c : {&laptop, &desktop}) {
      auto env = c->environment();
      env["STNOUPGRADE"] = "1";
      c->syncthing = std::make_unique<test::BackgroundProcess>(
          kSyncthing, std::vector<std::string>{"serve", "--home=" + (c->settings / "syncthing").string(), "--no-browser",
                                               "--no-restart", "--no-upgrade"},
          env, c->root / "syncthing.log");
      c->host = std::make_unique<test::BackgroundProcess>(LUMETRA_APP_PATH, std::vector<std::string>{}, c->environment(),
                                                          c->root / "host.log");
      ASSERT_TRUE(test::waitForPath(c->data / "lumetra.sock"));
    }
  }
  void TearDown() override {
    for (auto* c : {&laptop, &desktop}) {
      if (c->host) EXPECT_EQ(c->host->stop(SIGTERM), 0);
      if (c->syncthing) (void)c->syncthing->stop(SIGTERM);
    }
  }

  // Seconds until `done` holds, checked every 50 ms, or nothing after `limit` seconds.
  template <class Check>
  static std::optional<double> within(double limit, Check done) {
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::duration<double>(limit)) {
      if (done()) return std::chrono::duration<double>(Clock::now() - start).count();
      std::this_thread::sleep_for(50ms);
    }
    return std::nullopt;
  }

  test::TemporaryDirectory folder;
  Computer laptop{"Laptop"}, desktop{"Desktop"};
};

TEST_F(SyncthingTest, TwoComputersKeepOneHistory) {
  ASSERT_EQ(laptop.app({"project", "add", "Garden"}).status, 0);
  ASSERT_EQ(laptop.tool({"start", "Garden", "-d", "Beds"}).status, 0);
  for (auto* c : {&laptop, &desktop}) {
    const auto enabled = c->app({"sync", "enable", c->synced.string(), "--name", c->name});
    ASSERT_EQ(enabled.status, 0) << enabled.err;
  }
  EXPECT_THAT(desktop.app({"sync", "status"}).out, testing::HasSubstr("(kept by Syncthing)"));

  // Running on the laptop shows on the desktop; stopped there, it is in the desktop's sessions.
  const auto seen = within(20, [&] { return desktop.app({"sync", "status"}).out.find("tracking Garden since") != std::string::npos; });
  ASSERT_TRUE(seen) << desktop.app({"sync", "status"}).out;
  std::this_thread::sleep_for(1200ms);
  ASSERT_EQ(laptop.tool({"stop"}).status, 0);
  const auto stopped = within(10, [&] { return desktop.tool({"sessions"}).out.find("Beds") != std::string::npos; });
  ASSERT_TRUE(stopped) << desktop.tool({"sessions"}).out;
  RecordProperty("stop_seen_seconds", std::to_string(*stopped));
  std::printf("A stop on one computer showed in the other's sessions after %.2f s.\n", *stopped);

  // One timer: starting on the desktop stops the laptop's session.
  ASSERT_EQ(laptop.tool({"start", "Garden"}).status, 0);
  ASSERT_TRUE(within(10, [&] { return desktop.app({"sync", "status"}).out.find("tracking Garden since") != std::string::npos; }));
  std::this_thread::sleep_for(1200ms);
  ASSERT_EQ(desktop.tool({"start", "Garden", "-d", "Desk"}).status, 0);
  EXPECT_TRUE(within(10, [&] { return laptop.tool({"status"}).out.starts_with("Not tracking"); }))
      << laptop.tool({"status"}).out;
  ASSERT_EQ(desktop.tool({"stop"}).status, 0);

  // Apart, each changes something; together again, both hold the same.
  for (auto* c : {&laptop, &desktop}) (void)c->syncthing->stop(SIGTERM);
  ASSERT_EQ(laptop.app({"project", "rename", "Garden", "Yard"}).status, 0);
  ASSERT_EQ(desktop.app({"project", "add", "Writing"}).status, 0);
  ASSERT_EQ(desktop.app({"session", "add", "Writing", "2026-12-01 09:00", "2026-12-01 10:00"}).status, 0);
  for (auto* c : {&laptop, &desktop}) {
    auto env = c->environment();
    env["STNOUPGRADE"] = "1";
    c->syncthing = std::make_unique<test::BackgroundProcess>(
        kSyncthing, std::vector<std::string>{"serve", "--home=" + (c->settings / "syncthing").string(), "--no-browser",
                                             "--no-restart", "--no-upgrade"},
        env, c->root / "syncthing-again.log");
  }
  // Each computer numbers its sessions its own way.
  const auto sessions = [](const Computer& c) { return replaced(c.tool({"sessions"}).out, "\n *[0-9]+  ", "\n"); };
  const auto same = within(30, [&] {
    (void)laptop.app({"sync", "now"});
    (void)desktop.app({"sync", "now"});
    const auto a = sessions(laptop), b = sessions(desktop);
    return a == b && a.find("Yard") != std::string::npos && a.find("Writing") != std::string::npos &&
           laptop.tool({"projects"}).out == desktop.tool({"projects"}).out;
  });
  EXPECT_TRUE(same) << sessions(laptop) << "\n---\n" << sessions(desktop);
}

}  // namespace
}  // namespace lumetra
