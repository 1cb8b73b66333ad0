// The real host on a private session bus (and the same bus as its system bus), with small
// stand-ins for GNOME's idle monitor, logind and a notification server.
#include <gmock/gmock.h>

#include <chrono>
#include <thread>

#include "e2e/HostFixture.hpp"

namespace lumetra {
namespace {

using testing::HasSubstr;
using namespace std::chrono_literals;

class DesktopTest : public test::HostFixture {
 protected:
  void SetUp() override {}

  // A bus, the stand-ins given by `services`, then the host.
  void start(const std::vector<std::string>& services) {
    startBus(services);
    startHost();
  }
  void startBus(const std::vector<std::string>& services) {
    const auto socket = folder / "bus";
    std::filesystem::remove(socket);  // a killed daemon's socket file stays behind
    bus = "unix:path=" + socket.string();
    daemon = std::make_unique<test::BackgroundProcess>(
        "/usr/bin/dbus-daemon", std::vector<std::string>{"--session", "--nofork", "--address=" + bus},
        std::map<std::string, std::string>{}, folder / "bus.log");
    ASSERT_TRUE(test::waitForPath(socket));
    std::ofstream(folder / "idle") << 0;
    std::vector<std::string> arguments{(folder / "desktop.log").string()};
    arguments.insert(arguments.end(), services.begin(), services.end());
    fake = std::make_unique<test::BackgroundProcess>(LUMETRA_FAKE_DESKTOP_PATH, arguments,
                                                     std::map<std::string, std::string>{{"DBUS_SESSION_BUS_ADDRESS", bus}},
                                                     folder / "fake.log");
    ASSERT_TRUE(seen("ready"));
  }
  void TearDown() override {
    stopHost();
    fake.reset();
    daemon.reset();
  }

  std::string desktopLog() const {
    std::ifstream file(folder / "desktop.log");
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  // Waits up to `seconds` for a line of the stand-ins' log (or, with `inHost`, the host's).
  bool seen(const std::string& text, double seconds = 8, bool inHost = false) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until) {
      if ((inHost ? log() : desktopLog()).find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }
  bool tracking() { return tool({"status"}).out.starts_with("Tracking"); }

  std::unique_ptr<test::BackgroundProcess> daemon, fake;
};

TEST_F(DesktopTest, GnomesIdleMonitorStopsAnIdleSession) {
  start({"--idle", (folder / "idle").string()});
  EXPECT_EQ(app({"idle-timeout", "0.05"}).out, "Sessions stop after 0.05 minutes without input.\n");
  EXPECT_THAT(log(), testing::Not(HasSubstr("can't see keyboard and mouse activity")));
  ASSERT_EQ(app({"project", "add", "Garden"}).status, 0);
  ASSERT_EQ(tool({"start", "Garden"}).status, 0);
  std::this_thread::sleep_for(6s);  // a heartbeat sees input
  EXPECT_TRUE(tracking());
  std::ofstream(folder / "idle") << 600000;
  EXPECT_TRUE(seen("the last input before", 7, true)) << log();
  EXPECT_FALSE(tracking());
}

// Before the machine sleeps the session ends there and then, while the host holds logind's
// delay; the notification offers to resume, and choosing that resumes.
TEST_F(DesktopTest, SleepAndPowerOffEndTheSessionAndTheNotificationResumesIt) {
  start({"--login", "--notifications"});
  ASSERT_TRUE(seen("inhibit sleep delay"));
  ASSERT_TRUE(seen("inhibit shutdown delay"));
  ASSERT_EQ(app({"project", "add", "Garden"}).status, 0);
  ASSERT_EQ(tool({"start", "Garden"}).status, 0);
  std::this_thread::sleep_for(1500ms);
  ASSERT_EQ(::kill(fake->pid(), SIGUSR1), 0);
  ASSERT_TRUE(seen("released sleep")) << desktopLog();
  EXPECT_FALSE(tracking());
  ASSERT_TRUE(seen(", when the computer went to sleep. [ resume Resume ]")) << desktopLog();
  EXPECT_THAT(desktopLog(), testing::ContainsRegex("notify Lumetra: Stopped “Garden” at [0-9:]+, when the computer went to sleep\\."));

  // Resume chosen twice (a second click, a server that repeats itself) resumes once.
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(::kill(fake->pid(), SIGUSR2), 0);
    std::this_thread::sleep_for(300ms);
  }
  const auto until = std::chrono::steady_clock::now() + 5s;
  while (!tracking() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(tracking()) << log();
  std::this_thread::sleep_for(500ms);
  const std::string said = log();
  EXPECT_EQ(said.find("Resumed"), said.rfind("Resumed")) << said;

  // Powering off ends the resumed session too, and it is kept.
  std::this_thread::sleep_for(1500ms);
  ASSERT_EQ(::kill(fake->pid(), SIGHUP), 0);
  ASSERT_TRUE(seen("released shutdown")) << desktopLog();
  EXPECT_FALSE(tracking());
  EXPECT_THAT(tool({"sessions"}).out, testing::ContainsRegex("Garden.*\n.*Garden"));
}

// The tray registers with the watcher; its menu shows the session and its Stop stops it.
TEST_F(DesktopTest, TheTrayMenuFollowsAndStops) {
  start({"--watcher"});
  ASSERT_EQ(app({"project", "add", "Garden"}).status, 0);
  ASSERT_EQ(tool({"start", "Garden", "-d", "Beds"}).status, 0);
  ASSERT_TRUE(seen("registered org.kde.StatusNotifierItem-")) << desktopLog();
  const std::string service = [&] {
    const std::string text = desktopLog(), mark = "registered ";
    const auto at = text.find(mark) + mark.size();
    return text.substr(at, text.find('\n', at) - at);
  }();
  const auto busctl = [&](std::vector<std::string> words) {
    words.insert(words.begin(), {"--user", "call", service});
    return test::runProcess("/usr/bin/busctl", words, {{"DBUS_SESSION_BUS_ADDRESS", bus}});
  };
  const auto layout = [&] {
    const auto got = busctl({"/MenuBar", "com.canonical.dbusmenu", "GetLayout", "--", "iias", "0", "-1", "0"});
    return got.out + got.err;
  };
  EXPECT_THAT(layout(), HasSubstr(R"("Tracking Garden \342\200\223 Beds, 0m")"));  // busctl's octal for –
  EXPECT_THAT(layout(), HasSubstr("\"label\" s \"Stop\""));
  const auto clicked = busctl({"/MenuBar", "com.canonical.dbusmenu", "Event", "isvu", "3", "clicked", "s", "", "0"});
  ASSERT_EQ(clicked.status, 0) << clicked.err;
  const auto until = std::chrono::steady_clock::now() + 5s;
  while (tracking() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(tracking());
  EXPECT_THAT(layout(), HasSubstr("\"Not tracking\""));
  const auto icon = test::runProcess("/usr/bin/busctl", {"--user", "get-property", service, "/StatusNotifierItem",
                                                         "org.kde.StatusNotifierItem", "IconName"},
                                     {{"DBUS_SESSION_BUS_ADDRESS", bus}});
  EXPECT_EQ(icon.out, "s \"lumetra-stopped\"\n");
}

// Anyone on the bus may call the menu: what one call may ask is bounded, and the tray comes
// back when the bus itself restarts.
TEST_F(DesktopTest, TheMenuRefusesTooMuchAndTheTrayOutlivesTheBus) {
  start({"--watcher"});
  ASSERT_TRUE(seen("registered org.kde.StatusNotifierItem-")) << desktopLog();
  const std::string service = "org.kde.StatusNotifierItem-" + std::to_string(host->pid()) + "-1";
  const auto call = [&](std::vector<std::string> words) {
    words.insert(words.begin(), {"--user", "call", service, "/MenuBar", "com.canonical.dbusmenu"});
    const auto got = test::runProcess("/usr/bin/busctl", words, {{"DBUS_SESSION_BUS_ADDRESS", bus}});
    return got.status == 0 ? std::string("ok") : got.err;
  };
  const auto ids = [](int count) {
    std::vector<std::string> words{"GetGroupProperties", "aias", std::to_string(count)};
    for (int i = 0; i < count; ++i) words.push_back(std::to_string(i % 8));
    words.push_back("0");
    return words;
  };
  const auto clicks = [](int count) {
    std::vector<std::string> words{"EventGroup", "a(isvu)", std::to_string(count)};
    for (int i = 0; i < count; ++i) words.insert(words.end(), {"0", "opened", "s", "", "0"});
    return words;
  };
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
      {ids(1024), "ok"},
      {ids(1025), "Call failed: At most 1024 ids in one call.\n"},
      {clicks(64), "ok"},
      {clicks(65), "Call failed: At most 64 events in one call.\n"},
  };
  for (const auto& [words, expected] : cases) EXPECT_EQ(call(words), expected) << words[0] << " " << words[2];

  fake.reset();
  daemon.reset();
  std::filesystem::remove(folder / "desktop.log");
  startBus({"--watcher"});
  EXPECT_TRUE(seen("registered " + service, 20)) << log();  // after a retry or two, each twice as late
  EXPECT_EQ(call({"GetLayout", "--", "iias", "0", "-1", "0"}), "ok");
}

// The desktop and the window are the host's business: the tool and lumetra-app's commands start
// without loading the bus or the web server.
TEST(DesktopLinkTest, TheCommandsLinkNeitherTheBusNorTheWebServer) {
  for (const char* program : {LUMETRA_TOOL_PATH, LUMETRA_APP_PATH}) {
    const auto linked = test::runProcess("/usr/bin/readelf", {"-d", program});
    ASSERT_EQ(linked.status, 0) << linked.err;
    EXPECT_THAT(linked.out, testing::Not(HasSubstr("libsystemd"))) << program;
    EXPECT_THAT(linked.out, testing::Not(HasSubstr("libmicrohttpd"))) << program;
  }
}

}  // namespace
}  // namespace lumetra
