#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "install/RunMode.hpp"
#include "install/ServiceManager.hpp"
#include "platform/UserFolders.hpp"

// Starting the host at login: a systemd user unit where the user's manager runs, an XDG
// autostart entry where it doesn't. Installing writes the file and has the manager enable and
// start it; uninstalling undoes exactly that, and folders it made and left empty go too.
namespace lumetra::LoginService {

inline constexpr std::string_view unitName = "lumetra.service";

// The unit for `app` (the host's absolute path); the data folder only for a scratch host.
[[nodiscard]] std::string unitText(const std::filesystem::path& app, const std::optional<std::filesystem::path>& data);
[[nodiscard]] std::string autostartText(const std::filesystem::path& app,
                                        const std::optional<std::filesystem::path>& data);
// ~/.config/systemd/user/lumetra.service and ~/.config/autostart/lumetra.desktop.
[[nodiscard]] std::filesystem::path unitFile(const Environment& environment);
[[nodiscard]] std::filesystem::path autostartFile(const Environment& environment);

// The sentence for the user. Throws std::filesystem::filesystem_error when a file can't be
// written, and InstallError (serviceFailed) when the manager refuses.
std::string install(ServiceManager& manager, const std::filesystem::path& app, const Environment& environment);
std::string uninstall(ServiceManager& manager, const Environment& environment);

// Whether Lumetra starts at login: its unit is enabled, or its autostart entry is there.
[[nodiscard]] bool enabled(ServiceManager& manager, const Environment& environment);
// Whether systemd started this process (it sets INVOCATION_ID for every service it runs).
[[nodiscard]] bool launchedByServiceManager(const Environment& environment);
// Whether a host started by hand should leave running to the service instead: Lumetra starts at
// login, this process isn't the service's, it isn't a scratch run, and there is a unit to start
// (an autostart entry has no service to hand off to).
[[nodiscard]] bool handsOff(const RunMode& mode, ServiceManager& manager, const Environment& environment);

}  // namespace lumetra::LoginService
