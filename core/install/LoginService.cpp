#include "install/LoginService.hpp"

#include <system_error>
#include <vector>

#include "install/InstallError.hpp"
#include "platform/FileSystem.hpp"
#include "store/Store.hpp"

namespace lumetra::LoginService {

namespace fs = std::filesystem;

namespace {

// A word of a unit's command line or environment, quoted; % would start a specifier.
std::string unitWord(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
    if (c == '%') quoted += '%';
  }
  return quoted + "\"";
}

// An argument of a desktop entry's Exec line, quoted as the entry specification asks.
std::string execWord(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += "\\\\";
    if (c == '%') quoted += '%';
    quoted += c;
  }
  return quoted + "\"";
}

std::optional<fs::path> scratchFolder(const Environment& environment) {
  if (auto folder = Store::directoryOverride(environment)) return fs::absolute(*folder).lexically_normal();
  return std::nullopt;
}

// Writes the file, making its folders; returns the folders it made, deepest first.
std::vector<fs::path> write(const fs::path& file, const std::string& text) {
  std::vector<fs::path> made;
  for (fs::path folder = file.parent_path(); !folder.empty() && !fs::exists(folder); folder = folder.parent_path()) {
    made.push_back(folder);
  }
  fs::create_directories(file.parent_path());
  FileSystem::writeAtomically(file, text);
  return made;
}

// Removes the file, then each folder up to `top` that it leaves empty.
bool remove(const fs::path& file, const fs::path& top) {
  std::error_code error;
  if (!fs::remove(file, error)) return false;
  for (fs::path folder = file.parent_path(); folder != top && folder.has_relative_path(); folder = folder.parent_path()) {
    if (!fs::is_empty(folder, error) || error || !fs::remove(folder, error)) break;
  }
  return true;
}

void ask(ServiceManager& manager, const std::vector<std::string>& words, const fs::path& unit) {
  if (manager.control(words)) return;
  std::string said;
  for (const auto& word : words) said += (said.empty() ? "" : " ") + word;
  throw InstallError(InstallError::Case::serviceFailed, unit, said);
}

}  // namespace

std::string unitText(const fs::path& app, const std::optional<fs::path>& data) {
  std::string text =
      "[Unit]\n"
      "Description=Lumetra time tracker\n"
      "\n"
      "[Service]\n"
      "ExecStart=" + unitWord(app.string()) + "\n";
  if (data) text += "Environment=" + unitWord("LUMETRA_DATA_DIR=" + data->string()) + "\n";
  // A host that fails is started again; one stopped by hand or by the manager stays stopped.
  return text +
         "Restart=on-failure\n"
         "RestartSec=5\n"
         "\n"
         "[Install]\n"
         "WantedBy=default.target\n";
}

std::string autostartText(const fs::path& app, const std::optional<fs::path>& data) {
  const std::string command = (data ? "env " + execWord("LUMETRA_DATA_DIR=" + data->string()) + " " : "") +
                              execWord(app.string());
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Lumetra\n"
         "Comment=Tracks your time in the background\n"
         "Exec=" + command + "\n"
         "Icon=lumetra\n"
         "Terminal=false\n"
         "NoDisplay=true\n";
}

fs::path unitFile(const Environment& environment) {
  return UserFolders::settings(environment) / "systemd" / "user" / std::string(unitName);
}

fs::path autostartFile(const Environment& environment) {
  return UserFolders::settings(environment) / "autostart" / "lumetra.desktop";
}

std::string install(ServiceManager& manager, const fs::path& app, const Environment& environment) {
  const auto data = scratchFolder(environment);
  if (!manager.available()) {
    const fs::path entry = autostartFile(environment);
    (void)write(entry, autostartText(app, data));
    // Without systemd, the desktop session starts it: a console login doesn't.
    return "Lumetra now starts with your desktop session (" + entry.string() + ").";
  }
  const fs::path unit = unitFile(environment);
  const auto made = write(unit, unitText(app, data));
  try {
    ask(manager, {"daemon-reload"}, unit);
    ask(manager, {"enable", "--now", std::string(unitName)}, unit);
  } catch (const InstallError&) {
    // Nothing half-done stays behind.
    (void)remove(unit, made.empty() ? unit.parent_path() : made.back().parent_path());
    (void)manager.control({"daemon-reload"});
    throw;
  }
  return "Lumetra now starts when you log in, as the user service " + std::string(unitName) + " (" + unit.string() +
         "), and runs now.";
}

std::string uninstall(ServiceManager& manager, const Environment& environment) {
  const fs::path settings = UserFolders::settings(environment);
  bool removed = false;
  const fs::path unit = unitFile(environment);
  if (fs::exists(unit)) {
    if (manager.available()) ask(manager, {"disable", "--now", std::string(unitName)}, unit);
    removed = remove(unit, settings);
    if (manager.available()) (void)manager.control({"daemon-reload"});
  }
  removed = remove(autostartFile(environment), settings) || removed;
  return removed ? "Lumetra no longer starts when you log in." : "Lumetra wasn't set to start when you log in.";
}

bool launchedByServiceManager(const Environment& environment) {
  const auto it = environment.find("INVOCATION_ID");
  return it != environment.end() && !it->second.empty();
}

namespace {
bool unitEnabled(ServiceManager& manager, const Environment& environment) {
  // Asking the manager costs a process, so only when there is a unit to ask about.
  return fs::exists(unitFile(environment)) && manager.available() &&
         manager.control({"is-enabled", std::string(unitName)});
}
}  // namespace

bool enabled(ServiceManager& manager, const Environment& environment) {
  return unitEnabled(manager, environment) || fs::exists(autostartFile(environment));
}

bool handsOff(const RunMode& mode, ServiceManager& manager, const Environment& environment) {
  const bool launched = launchedByServiceManager(environment);
  if (mode.isScratch() || launched) return false;
  const bool unit = unitEnabled(manager, environment);
  return mode.handsOffToLaunchd(unit || fs::exists(autostartFile(environment)), launched) && unit;
}

}  // namespace lumetra::LoginService
