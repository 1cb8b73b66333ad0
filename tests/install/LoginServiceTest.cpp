#include "install/LoginService.hpp"

#include <gmock/gmock.h>

#include <fstream>

#include "install/InstallError.hpp"
#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;

// A user manager that answers as told and remembers what it was asked.
class RecordingManager final : public ServiceManager {
 public:
  explicit RecordingManager(bool running, std::string refusing = {}) : running_(running), refusing_(std::move(refusing)) {}
  bool available() override { return running_; }
  bool control(const std::vector<std::string>& words) override {
    std::string said;
    for (const auto& word : words) said += (said.empty() ? "" : " ") + word;
    asked.push_back(said);
    return said != refusing_;
  }
  std::vector<std::string> asked;

 private:
  bool running_;
  std::string refusing_;
};

std::string contents(const fs::path& file) {
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every path under the folder, so that "as before" can be compared.
std::vector<std::string> tree(const fs::path& folder) {
  std::vector<std::string> paths;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

class LoginServiceTest : public testing::Test {
 protected:
  Environment environment() const { return {{"HOME", home.path().string()}, {"XDG_CONFIG_HOME", (home / "config").string()}}; }
  test::TemporaryDirectory home;
  const fs::path app = LUMETRA_APP_PATH;
};

TEST_F(LoginServiceTest, WithSystemdAUnitIsEnabledAndTakenAwayAgain) {
  fs::create_directories(home / "config");
  const auto before = tree(home.path());
  RecordingManager manager(true);
  EXPECT_EQ(LoginService::install(manager, app, environment()),
            "Lumetra now starts when you log in, as the user service lumetra.service (" + (home / "config").string() +
                "/systemd/user/lumetra.service), and runs now.");
  const fs::path unit = LoginService::unitFile(environment());
  EXPECT_EQ(contents(unit), LoginService::unitText(app, std::nullopt));
  // The unit passes systemd's own checks (ExecStart names this build's host).
  const auto verified = test::runProcess("/usr/bin/systemd-analyze", {"verify", unit.string()});
  EXPECT_EQ(verified.status, 0) << verified.out << verified.err;

  EXPECT_EQ(LoginService::uninstall(manager, environment()), "Lumetra no longer starts when you log in.");
  EXPECT_EQ(manager.asked, (std::vector<std::string>{"daemon-reload", "enable --now lumetra.service",
                                                      "disable --now lumetra.service", "daemon-reload"}));
  EXPECT_EQ(tree(home.path()), before);
  EXPECT_EQ(LoginService::uninstall(manager, environment()), "Lumetra wasn't set to start when you log in.");
}

TEST_F(LoginServiceTest, WithoutSystemdAnAutostartEntry) {
  fs::create_directories(home / "config");
  const auto before = tree(home.path());
  RecordingManager manager(false);
  auto env = environment();
  env["LUMETRA_DATA_DIR"] = "/tmp/a \"b\" $c";
  EXPECT_EQ(LoginService::install(manager, app, env),
            "Lumetra now starts with your desktop session (" + (home / "config/autostart/lumetra.desktop").string() + ").");
  EXPECT_THAT(contents(LoginService::autostartFile(env)),
              testing::HasSubstr("Exec=env \"LUMETRA_DATA_DIR=/tmp/a \\\\\"b\\\\\" \\\\$c\" \"" + app.string() + "\"\n"));
  EXPECT_EQ(LoginService::uninstall(manager, env), "Lumetra no longer starts when you log in.");
  EXPECT_TRUE(manager.asked.empty());
  EXPECT_EQ(tree(home.path()), before);
}

TEST_F(LoginServiceTest, ARefusalLeavesNothingBehind) {
  RecordingManager manager(true, "enable --now lumetra.service");
  EXPECT_THROW((void)LoginService::install(manager, app, environment()), InstallError);
  EXPECT_FALSE(fs::exists(home / "config"));
}

TEST_F(LoginServiceTest, AHostStartedByHandHandsOffToTheEnabledService) {
  RecordingManager enabled(true);
  const RunMode normal{}, scratch{fs::path("/tmp/scratch")};
  EXPECT_FALSE(LoginService::handsOff(normal, enabled, environment()));  // no unit
  (void)LoginService::install(enabled, app, environment());
  EXPECT_TRUE(LoginService::handsOff(normal, enabled, environment()));
  EXPECT_FALSE(LoginService::handsOff(scratch, enabled, environment()));
  auto started = environment();
  started["INVOCATION_ID"] = "0123";
  EXPECT_FALSE(LoginService::handsOff(normal, enabled, started));
  RecordingManager disabled(true, "is-enabled lumetra.service");
  EXPECT_FALSE(LoginService::handsOff(normal, disabled, environment()));
}

}  // namespace
}  // namespace lumetra
