// logind and the notification server over sd-bus, on one thread that owns both connections
// (sd-bus connections are not to be shared between threads).
#include <fcntl.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>
#include <unistd.h>

#include <deque>
#include <optional>
#include <map>
#include <thread>
#include <vector>

#include "platform/DesktopEvents.hpp"
#include "platform/StatusItem.hpp"
#include "platform/ThreadSafety.hpp"

namespace lumetra {

namespace {

constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kLoginManager = "org.freedesktop.login1.Manager";
constexpr const char* kNotifications = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";
constexpr std::uint64_t kCallTimeoutMicroseconds = 2'000'000;
// Notifications remembered for their action; older ones have long left the screen.
constexpr std::size_t kRemembered = 32;

enum class Lock { sleep, shutdown };

}  // namespace

struct DesktopEvents::State : std::enable_shared_from_this<DesktopEvents::State> {
  Handlers handlers;
  int wake[2] = {-1, -1};

  Mutex lock;
  std::deque<std::pair<std::string, std::uint64_t>> toNotify GUARDED_BY(lock);
  std::vector<Lock> toRelease GUARDED_BY(lock);
  std::optional<Tray> toShow GUARDED_BY(lock);
  bool stopping GUARDED_BY(lock) = false;

  // The events thread's own.
  sd_bus* system = nullptr;
  sd_bus* session = nullptr;
  int sleepLock = -1;
  int shutdownLock = -1;
  std::optional<bool> serverHasActions;
  std::map<std::uint32_t, std::uint64_t> sent;  // notification id → key
  std::unique_ptr<StatusItem> tray;
  std::thread thread;

  ~State() {
    for (const int fd : {wake[0], wake[1], sleepLock, shutdownLock}) {
      if (fd >= 0) ::close(fd);
    }
  }

  void poke() {
    const char byte = 1;
    (void)!::write(wake[1], &byte, 1);
  }

  // Asks logind to wait for us before sleeping or powering off; -1 where it won't.
  int inhibit(Lock what) {
    if (!system) return -1;
    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its C compound literal
    sd_bus_message* reply = nullptr;
    int fd = -1;
    if (sd_bus_call_method(system, kLogin, kLoginPath, kLoginManager, "Inhibit", &error, &reply, "ssss",
                           what == Lock::sleep ? "sleep" : "shutdown", "Lumetra",
                           "Ending the running session first", "delay") >= 0) {
      int received = -1;
      if (sd_bus_message_read(reply, "h", &received) >= 0) fd = ::fcntl(received, F_DUPFD_CLOEXEC, 3);
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return fd;
  }

  void release(Lock what) {
    int& fd = what == Lock::sleep ? sleepLock : shutdownLock;
    if (fd >= 0) ::close(fd);
    fd = -1;
  }

  std::function<void()> releaser(Lock what) {
    return [self = shared_from_this(), what] {
      {
        MutexLock held(self->lock);
        self->toRelease.push_back(what);
      }
      self->poke();
    };
  }

  static int onPrepare(sd_bus_message* message, void* data, sd_bus_error*) {
    auto& state = *static_cast<State*>(data);
    int starting = 0;
    if (sd_bus_message_read(message, "b", &starting) < 0) return 0;
    const bool sleep = std::string_view(sd_bus_message_get_member(message)) == "PrepareForSleep";
    const Lock what = sleep ? Lock::sleep : Lock::shutdown;
    if (!starting) {  // awake again: the next sleep waits for us too
      if (sleep && state.sleepLock < 0) state.sleepLock = state.inhibit(Lock::sleep);
      return 0;
    }
    const Prepare& handler = sleep ? state.handlers.sleeping : state.handlers.poweringOff;
    if (handler) {
      handler(state.releaser(what));
    } else {
      state.release(what);
    }
    return 0;
  }

  static int onAction(sd_bus_message* message, void* data, sd_bus_error*) {
    auto& state = *static_cast<State*>(data);
    std::uint32_t id = 0;
    const char* action = nullptr;
    if (sd_bus_message_read(message, "us", &id, &action) < 0) return 0;
    const auto it = state.sent.find(id);
    if (it != state.sent.end() && std::string_view(action) == "resume" && state.handlers.resumeChosen) {
      state.handlers.resumeChosen(it->second);
    }
    return 0;
  }

  bool actionsSupported() {
    if (serverHasActions) return *serverHasActions;
    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its C compound literal
    sd_bus_message* reply = nullptr;
    bool found = false;
    if (sd_bus_call_method(session, kNotifications, kNotificationsPath, kNotifications, "GetCapabilities", &error, &reply,
                           "") >= 0 &&
        sd_bus_message_enter_container(reply, 'a', "s") >= 0) {
      const char* capability = nullptr;
      while (sd_bus_message_read(reply, "s", &capability) > 0) found = found || std::string_view(capability) == "actions";
      serverHasActions = found;
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return found;
  }

  void send(const std::string& body, std::uint64_t key) {
    if (!session) return;
    const bool actions = actionsSupported();
    sd_bus_error error{};  // SD_BUS_ERROR_NULL, without its C compound literal
    sd_bus_message* reply = nullptr;
    const int called = actions ? sd_bus_call_method(session, kNotifications, kNotificationsPath, kNotifications, "Notify",
                                                  &error, &reply, "susssasa{sv}i", "Lumetra", 0u, "lumetra", "Lumetra",
                                                  body.c_str(), 2, "resume", "Resume", 0, -1)
                               : sd_bus_call_method(session, kNotifications, kNotificationsPath, kNotifications, "Notify",
                                                  &error, &reply, "susssasa{sv}i", "Lumetra", 0u, "lumetra", "Lumetra",
                                                  body.c_str(), 0, 0, -1);
    std::uint32_t id = 0;
    if (called >= 0 && actions && sd_bus_message_read(reply, "u", &id) >= 0) {
      sent[id] = key;
      while (sent.size() > kRemembered) sent.erase(sent.begin());
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
  }

  void connect() {
    if (sd_bus_open_system(&system) >= 0) {
      (void)sd_bus_set_method_call_timeout(system, kCallTimeoutMicroseconds);
      for (const char* member : {"PrepareForSleep", "PrepareForShutdown"}) {
        (void)sd_bus_match_signal(system, nullptr, kLogin, kLoginPath, kLoginManager, member, onPrepare, this);
      }
      sleepLock = inhibit(Lock::sleep);
      shutdownLock = inhibit(Lock::shutdown);
    } else {
      system = nullptr;
    }
    if (sd_bus_open_user(&session) >= 0) {
      (void)sd_bus_set_method_call_timeout(session, kCallTimeoutMicroseconds);
      (void)sd_bus_match_signal(session, nullptr, kNotifications, kNotificationsPath, kNotifications, "ActionInvoked",
                                onAction, this);
    } else {
      session = nullptr;
    }
  }

  void run() {
    connect();
    for (;;) {
      std::deque<std::pair<std::string, std::uint64_t>> notes;
      std::vector<Lock> releases;
      std::optional<Tray> shown;
      {
        MutexLock held(lock);
        if (stopping) break;
        notes.swap(toNotify);
        releases.swap(toRelease);
        shown.swap(toShow);
      }
      for (const Lock what : releases) release(what);
      for (const auto& [body, key] : notes) send(body, key);
      if (shown && session) {
        if (!tray) {
          tray = std::make_unique<StatusItem>(session, [this](const TrayChoice& choice) {
            if (handlers.trayChosen) handlers.trayChosen(choice);
          });
        }
        tray->show(*shown);
      }
      std::vector<pollfd> fds{{wake[0], POLLIN, 0}};
      std::uint64_t until = UINT64_MAX;
      for (sd_bus* bus : {system, session}) {
        if (!bus) continue;
        while (sd_bus_process(bus, nullptr) > 0) {
        }
        const int events = sd_bus_get_events(bus);
        std::uint64_t timeout = UINT64_MAX;
        if (events < 0 || sd_bus_get_fd(bus) < 0) continue;
        fds.push_back({sd_bus_get_fd(bus), static_cast<short>(events), 0});
        if (sd_bus_get_timeout(bus, &timeout) >= 0) until = std::min(until, timeout);
      }
      int wait = -1;
      if (until != UINT64_MAX) {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const std::uint64_t current = static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 + static_cast<std::uint64_t>(now.tv_nsec) / 1000;
        wait = until <= current ? 0 : static_cast<int>(std::min<std::uint64_t>((until - current + 999) / 1000, 60'000));
      }
      (void)::poll(fds.data(), fds.size(), wait);
      if (fds[0].revents & POLLIN) {
        char drained[64];
        (void)!::read(wake[0], drained, sizeof drained);
      }
    }
    tray.reset();
    system = sd_bus_flush_close_unref(system);
    session = sd_bus_flush_close_unref(session);
  }
};

DesktopEvents::DesktopEvents(Handlers handlers) : state_(std::make_shared<State>()) {
  state_->handlers = std::move(handlers);
  if (::pipe2(state_->wake, O_CLOEXEC | O_NONBLOCK) != 0) return;  // no events: the heartbeat still notices sleep
  state_->thread = std::thread([state = state_] { state->run(); });
}

DesktopEvents::~DesktopEvents() {
  {
    MutexLock held(state_->lock);
    state_->stopping = true;
  }
  if (state_->thread.joinable()) {
    state_->poke();
    state_->thread.join();
  }
}

void DesktopEvents::showTray(const Tray& tray) {
  {
    MutexLock held(state_->lock);
    state_->toShow = tray;
  }
  if (state_->wake[1] >= 0) state_->poke();
}

void DesktopEvents::notify(const std::string& body, std::uint64_t key) {
  {
    MutexLock held(state_->lock);
    state_->toNotify.emplace_back(body, key);
  }
  if (state_->wake[1] >= 0) state_->poke();
}

}  // namespace lumetra
