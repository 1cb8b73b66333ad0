// Idle time on Linux: the desktop's own idle monitors over D-Bus (sd-bus), then the X11 Screen
// Saver extension, loaded at run time so that the host also runs where there is no display, no
// bus or no X library at all.
#include <dlfcn.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstdint>

#include "platform/DesktopBus.hpp"
#include "platform/IdleTime.hpp"

namespace lumetra {

namespace {

struct ScreenSaverInfo {  // XScreenSaverInfo, as libXss lays it out
  unsigned long window;
  int state;
  int kind;
  unsigned long tilOrSince;
  unsigned long idle;  // milliseconds
  unsigned long eventMask;
};

struct X11 {
  using OpenDisplay = void* (*)(const char*);
  using DefaultRootWindow = unsigned long (*)(void*);
  using Free = int (*)(void*);
  using AllocInfo = ScreenSaverInfo* (*)();
  using QueryInfo = int (*)(void*, unsigned long, ScreenSaverInfo*);

  void* display = nullptr;
  DefaultRootWindow rootWindow = nullptr;
  Free free = nullptr;
  AllocInfo allocInfo = nullptr;
  QueryInfo queryInfo = nullptr;

  X11() {
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return;
    void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    void* xss = dlopen("libXss.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!x11 || !xss) return;
    const auto open = reinterpret_cast<OpenDisplay>(dlsym(x11, "XOpenDisplay"));
    rootWindow = reinterpret_cast<DefaultRootWindow>(dlsym(x11, "XDefaultRootWindow"));
    free = reinterpret_cast<Free>(dlsym(x11, "XFree"));
    allocInfo = reinterpret_cast<AllocInfo>(dlsym(xss, "XScreenSaverAllocInfo"));
    queryInfo = reinterpret_cast<QueryInfo>(dlsym(xss, "XScreenSaverQueryInfo"));
    if (open && rootWindow && free && allocInfo && queryInfo) display = open(nullptr);
  }

  std::optional<double> idle() {
    if (!display) return std::nullopt;
    ScreenSaverInfo* info = allocInfo();
    if (!info) return std::nullopt;
    std::optional<double> seconds;
    if (queryInfo(display, rootWindow(display), info)) seconds = static_cast<double>(info->idle) / 1000.0;
    free(info);
    return seconds;
  }
};

// Calls a method without arguments that returns one number of the given D-Bus type.
template <class Number>
std::optional<double> number(sd_bus* bus, const char* service, const char* path, const char* interface,
                             const char* method, const char* type) {
  if (!bus) return std::nullopt;
  BusError error;
  BusMessage reply;
  if (sd_bus_call_method(bus, service, path, interface, method, error.get(), reply.out(), "") < 0) return std::nullopt;
  Number read{};
  if (sd_bus_message_read(reply.get(), type, &read) < 0) return std::nullopt;
  return static_cast<double>(read);
}

}  // namespace

struct IdleTime::Sources {
  sd_bus* session = nullptr;
  sd_bus* system = nullptr;
  std::optional<X11> display;  // opened on first use

  std::optional<double> gnome() {
    const auto ms = number<std::uint64_t>(session, "org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
                                          "org.gnome.Mutter.IdleMonitor", "GetIdletime", "t");
    return ms ? std::optional(*ms / 1000.0) : std::nullopt;
  }

  // The interface documents seconds, but KDE, its main provider, answers in milliseconds.
  std::optional<double> screenSaver() {
    const auto ms = number<std::uint32_t>(session, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                                          "org.freedesktop.ScreenSaver", "GetSessionIdleTime", "u");
    return ms ? std::optional(*ms / 1000.0) : std::nullopt;
  }

  std::optional<double> x11() {
    if (!display) display.emplace();
    return display->idle();
  }

  // logind's hint is coarse (the desktop sets it after its own idle delay), so it comes last.
  std::optional<double> logind() {
    if (!system) return std::nullopt;
    constexpr const char* service = "org.freedesktop.login1";
    constexpr const char* path = "/org/freedesktop/login1/session/auto";
    constexpr const char* interface = "org.freedesktop.login1.Session";
    BusError error;
    int hint = 0;
    std::uint64_t since = 0;
    if (sd_bus_get_property_trivial(system, service, path, interface, "IdleHint", error.get(), 'b', &hint) < 0 ||
        sd_bus_get_property_trivial(system, service, path, interface, "IdleSinceHint", error.get(), 't', &since) < 0) {
      return std::nullopt;
    }
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    return hint && since > 0 ? std::max(0.0, static_cast<double>(now - static_cast<std::int64_t>(since)) / 1e6) : 0.0;
  }

  struct Source {
    std::string_view name;
    std::optional<double> (Sources::*ask)();
  };
  static constexpr std::array<Source, 4> kAll{{
      {"GNOME's idle monitor", &Sources::gnome},
      {"the freedesktop screen saver", &Sources::screenSaver},
      {"X11's screen-saver extension", &Sources::x11},
      {"logind's idle hint", &Sources::logind},
  }};

  const Source* chosen = nullptr;
};

IdleTime::IdleTime(sd_bus* session, sd_bus* system) : sources_(std::make_unique<Sources>()) { reconnect(session, system); }

IdleTime::~IdleTime() = default;

void IdleTime::reconnect(sd_bus* session, sd_bus* system) {
  sources_->session = session;
  sources_->system = system;
}

std::optional<double> IdleTime::seconds() {
  Sources& s = *sources_;
  if (s.chosen) {
    if (auto idle = (s.*(s.chosen->ask))()) return idle;
    s.chosen = nullptr;  // it stopped answering: ask them all again
  }
  for (const auto& source : Sources::kAll) {
    if (auto idle = (s.*(source.ask))()) {
      s.chosen = &source;
      return idle;
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> IdleTime::source() const {
  if (!sources_->chosen) return std::nullopt;
  return sources_->chosen->name;
}

}  // namespace lumetra
