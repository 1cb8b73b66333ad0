// Idle time on Linux: the desktop's own idle monitors over D-Bus (sd-bus), then the X11 Screen
// Saver extension, loaded at run time so that the host also runs where there is no display, no
// bus or no X library at all.
#include <dlfcn.h>
#include <systemd/sd-bus.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstdint>

#include "platform/IdleTime.hpp"

namespace lumetra::IdleTime {

namespace {

// A desktop's idle monitor answers at once; a bus that hangs mustn't hold the heartbeat.
constexpr std::uint64_t kCallTimeoutMicroseconds = 500'000;

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

// A bus connection opened on first use and kept; nothing when there is no such bus.
class Bus {
 public:
  explicit Bus(bool system) : system_(system) {}
  ~Bus() { sd_bus_flush_close_unref(bus_); }
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  sd_bus* get() {
    if (!bus_ && !tried_) {
      tried_ = true;
      if ((system_ ? sd_bus_open_system(&bus_) : sd_bus_open_user(&bus_)) < 0) bus_ = nullptr;
      if (bus_) (void)sd_bus_set_method_call_timeout(bus_, kCallTimeoutMicroseconds);
    }
    return bus_;
  }
  // After a failure the connection may be gone; the next use opens it again.
  void reset() {
    bus_ = sd_bus_flush_close_unref(bus_);
    tried_ = false;
  }

 private:
  bool system_;
  bool tried_ = false;
  sd_bus* bus_ = nullptr;
};

Bus& sessionBus() {
  static Bus bus(false);
  return bus;
}

Bus& systemBus() {
  static Bus bus(true);
  return bus;
}

// Calls a method without arguments that returns one number of the given D-Bus type.
template <class Number>
std::optional<double> number(Bus& bus, const char* service, const char* path, const char* interface,
                             const char* method, const char* type) {
  sd_bus* connection = bus.get();
  if (!connection) return std::nullopt;
  sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its C compound literal
  sd_bus_message* reply = nullptr;
  std::optional<double> value;
  if (sd_bus_call_method(connection, service, path, interface, method, &error, &reply, "") >= 0) {
    Number read{};
    if (sd_bus_message_read(reply, type, &read) >= 0) value = static_cast<double>(read);
  } else if (!sd_bus_is_open(connection)) {
    bus.reset();
  }
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  return value;
}

std::optional<double> gnome() {
  const auto ms = number<std::uint64_t>(sessionBus(), "org.gnome.Mutter.IdleMonitor",
                                        "/org/gnome/Mutter/IdleMonitor/Core", "org.gnome.Mutter.IdleMonitor",
                                        "GetIdletime", "t");
  return ms ? std::optional(*ms / 1000.0) : std::nullopt;
}

// The interface documents seconds, but KDE, its main provider, answers in milliseconds.
std::optional<double> screenSaver() {
  const auto ms = number<std::uint32_t>(sessionBus(), "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
                                        "org.freedesktop.ScreenSaver", "GetSessionIdleTime", "u");
  return ms ? std::optional(*ms / 1000.0) : std::nullopt;
}

std::optional<double> x11() {
  static X11 display;
  return display.idle();
}

// logind's hint is coarse (the desktop sets it after its own idle delay), so it comes last.
std::optional<double> logind() {
  sd_bus* bus = systemBus().get();
  if (!bus) return std::nullopt;
  constexpr const char* service = "org.freedesktop.login1";
  constexpr const char* path = "/org/freedesktop/login1/session/auto";
  constexpr const char* interface = "org.freedesktop.login1.Session";
  sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its C compound literal
  int hint = 0;
  std::uint64_t since = 0;
  std::optional<double> seconds;
  if (sd_bus_get_property_trivial(bus, service, path, interface, "IdleHint", &error, 'b', &hint) >= 0 &&
      sd_bus_get_property_trivial(bus, service, path, interface, "IdleSinceHint", &error, 't', &since) >= 0) {
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    seconds = hint && since > 0 ? std::max(0.0, static_cast<double>(now - static_cast<std::int64_t>(since)) / 1e6) : 0.0;
  } else if (!sd_bus_is_open(bus)) {
    systemBus().reset();
  }
  sd_bus_error_free(&error);
  return seconds;
}

struct Source {
  std::string_view name;
  std::optional<double> (*ask)();
};
constexpr std::array<Source, 4> kSources{{
    {"GNOME's idle monitor", gnome},
    {"the freedesktop screen saver", screenSaver},
    {"X11's screen-saver extension", x11},
    {"logind's idle hint", logind},
}};

const Source* chosen = nullptr;

}  // namespace

std::optional<double> seconds() {
  if (chosen) {
    if (auto idle = chosen->ask()) return idle;
    chosen = nullptr;  // it stopped answering: ask them all again
  }
  for (const Source& source : kSources) {
    if (auto idle = source.ask()) {
      chosen = &source;
      return idle;
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> source() {
  if (!chosen) return std::nullopt;
  return chosen->name;
}

}  // namespace lumetra::IdleTime
