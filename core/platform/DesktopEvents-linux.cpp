// logind, the notification server, the tray and the idle monitors over sd-bus, on one thread that
// owns both connections (sd-bus connections are not to be shared between threads).
#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "platform/DesktopBus.hpp"
#include "platform/DesktopEvents.hpp"
#include "platform/IdleTime.hpp"
#include "platform/StatusItem.hpp"
#include "platform/ThreadSafety.hpp"

namespace lumetra {

namespace {

constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kLoginManager = "org.freedesktop.login1.Manager";
constexpr const char* kNotifications = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";
// A desktop's service answers at once; one that hangs mustn't hold the heartbeat for long.
constexpr std::uint64_t kCallTimeoutMicroseconds = 500'000;
// Notifications remembered for their action; older ones have long left the screen.
constexpr std::size_t kRemembered = 32;
// How long the owner waits for the events thread to ask the idle monitors.
constexpr auto kIdleWait = std::chrono::milliseconds(2500);
// Pauses before connecting again to a bus that went away: doubling, up to a minute.
constexpr auto kFirstRetry = std::chrono::seconds(1);
constexpr auto kLastRetry = std::chrono::seconds(60);

using Clock = std::chrono::steady_clock;
enum class Lock { sleep, shutdown };

// A bus the thread keeps connected: a connection when there is one, and when to try again.
struct Link {
  bool system = false;
  BusConnection bus;
  Clock::time_point retryAt{};
  Clock::duration pause = kFirstRetry;

  // Connects when it is time; true when a new connection was made.
  bool connect(Clock::time_point now) {
    if (bus || now < retryAt) return false;
    bus = DesktopBus::open(system, kCallTimeoutMicroseconds);
    if (bus) {
      pause = kFirstRetry;
      return true;
    }
    retryAt = now + pause;
    pause = std::min<Clock::duration>(pause * 2, kLastRetry);
    return false;
  }
  // A connection the other side closed is dropped, to be made again after a pause.
  bool lost(Clock::time_point now) {
    if (!bus || sd_bus_is_open(bus.get()) > 0) return false;
    bus.reset();
    retryAt = now + pause;
    pause = std::min<Clock::duration>(pause * 2, kLastRetry);
    return true;
  }
};

}  // namespace

struct DesktopEvents::State : std::enable_shared_from_this<DesktopEvents::State> {
  Handlers handlers;
  int wake[2] = {-1, -1};

  Mutex lock;
  std::condition_variable idleAnswered;
  std::deque<std::pair<std::string, std::function<void()>>> toNotify GUARDED_BY(lock);
  std::vector<Lock> toRelease GUARDED_BY(lock);
  std::optional<Tray> toShow GUARDED_BY(lock);
  std::uint64_t idleAsked GUARDED_BY(lock) = 0;
  std::uint64_t idleDone GUARDED_BY(lock) = 0;
  std::optional<double> idle GUARDED_BY(lock);
  std::optional<std::string> idleSource GUARDED_BY(lock);
  bool stopping GUARDED_BY(lock) = false;

  // The events thread's own.
  Link system{true}, session{false};
  int sleepLock = -1;
  int shutdownLock = -1;
  std::optional<bool> serverHasActions;
  std::map<std::uint32_t, std::function<void()>> sent;  // notification id → its Resume
  std::optional<Tray> shown;                            // kept, to show again on a new connection
  std::unique_ptr<StatusItem> tray;
  std::unique_ptr<IdleTime> idleTime;
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
    if (!system.bus) return -1;
    BusError error;
    BusMessage reply;
    int received = -1;
    if (sd_bus_call_method(system.bus.get(), kLogin, kLoginPath, kLoginManager, "Inhibit", error.get(), reply.out(),
                           "ssss", what == Lock::sleep ? "sleep" : "shutdown", "Lumetra",
                           "Ending the running session first", "delay") < 0 ||
        sd_bus_message_read(reply.get(), "h", &received) < 0) {
      return -1;
    }
    return ::fcntl(received, F_DUPFD_CLOEXEC, 3);
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

  // A notification's Resume runs once: the entry goes as it is taken.
  static int onAction(sd_bus_message* message, void* data, sd_bus_error*) {
    auto& state = *static_cast<State*>(data);
    std::uint32_t id = 0;
    const char* action = nullptr;
    if (sd_bus_message_read(message, "us", &id, &action) < 0 || std::string_view(action) != "resume") return 0;
    const auto it = state.sent.find(id);
    if (it == state.sent.end()) return 0;
    const auto resume = std::move(it->second);
    state.sent.erase(it);
    if (resume) resume();
    return 0;
  }

  bool actionsSupported() {
    if (serverHasActions) return *serverHasActions;
    BusError error;
    BusMessage reply;
    if (sd_bus_call_method(session.bus.get(), kNotifications, kNotificationsPath, kNotifications, "GetCapabilities",
                           error.get(), reply.out(), "") < 0 ||
        sd_bus_message_enter_container(reply.get(), 'a', "s") < 0) {
      return false;
    }
    bool found = false;
    for (const char* capability = nullptr; sd_bus_message_read(reply.get(), "s", &capability) > 0;) {
      found = found || std::string_view(capability) == "actions";
    }
    serverHasActions = found;
    return found;
  }

  void send(const std::string& body, std::function<void()> resume) {
    if (!session.bus) return;
    const bool actions = actionsSupported();
    BusError error;
    BusMessage reply;
    sd_bus* bus = session.bus.get();
    const int called =
        actions ? sd_bus_call_method(bus, kNotifications, kNotificationsPath, kNotifications, "Notify", error.get(),
                                     reply.out(), "susssasa{sv}i", "Lumetra", 0u, "lumetra", "Lumetra", body.c_str(), 2,
                                     "resume", "Resume", 0, -1)
                : sd_bus_call_method(bus, kNotifications, kNotificationsPath, kNotifications, "Notify", error.get(),
                                     reply.out(), "susssasa{sv}i", "Lumetra", 0u, "lumetra", "Lumetra", body.c_str(), 0,
                                     0, -1);
    std::uint32_t id = 0;
    if (called >= 0 && actions && sd_bus_message_read(reply.get(), "u", &id) >= 0) {
      sent[id] = std::move(resume);
      while (sent.size() > kRemembered) sent.erase(sent.begin());
    }
  }

  void showTray() {
    if (!shown || !session.bus) return;
    if (!tray) {
      tray = std::make_unique<StatusItem>(session.bus.get(), [this](std::vector<TrayChoice> choices) {
        if (handlers.trayChosen) handlers.trayChosen(std::move(choices));
      });
    }
    tray->show(*shown);
  }

  // New connections, made now or again after one went away.
  void connect(Clock::time_point now) {
    if (system.connect(now)) {
      for (const char* member : {"PrepareForSleep", "PrepareForShutdown"}) {
        (void)sd_bus_match_signal(system.bus.get(), nullptr, kLogin, kLoginPath, kLoginManager, member, onPrepare, this);
      }
      if (sleepLock < 0) sleepLock = inhibit(Lock::sleep);
      if (shutdownLock < 0) shutdownLock = inhibit(Lock::shutdown);
    }
    if (session.connect(now)) {
      (void)sd_bus_match_signal(session.bus.get(), nullptr, kNotifications, kNotificationsPath, kNotifications,
                                "ActionInvoked", onAction, this);
      serverHasActions.reset();
      sent.clear();
      showTray();
    }
    idleTime->reconnect(session.bus.get(), system.bus.get());
  }

  void dropLost(Clock::time_point now) {
    // The tray goes before the connection it lives on.
    if (session.bus && sd_bus_is_open(session.bus.get()) <= 0) tray.reset();
    (void)session.lost(now);
    (void)system.lost(now);
    idleTime->reconnect(session.bus.get(), system.bus.get());
  }

  void answerIdle() {
    {
      MutexLock held(lock);
      if (idleDone == idleAsked) return;
    }
    const auto seconds = idleTime->seconds();
    const auto source = idleTime->source();
    MutexLock held(lock);
    idle = seconds;
    idleSource = source ? std::optional<std::string>(*source) : std::nullopt;
    idleDone = idleAsked;
    idleAnswered.notify_all();
  }

  // How long poll may sleep: until a bus's own time-out or the next reconnection.
  int pollTimeout(Clock::time_point now) const {
    std::optional<Clock::time_point> until;
    for (const Link* link : {&system, &session}) {
      if (!link->bus) until = std::min(until.value_or(link->retryAt), link->retryAt);
    }
    int wait = until ? static_cast<int>(std::max<std::int64_t>(
                           0, std::chrono::ceil<std::chrono::milliseconds>(*until - now).count()))
                     : -1;
    for (const Link* link : {&system, &session}) {
      std::uint64_t timeout = UINT64_MAX;
      if (!link->bus || sd_bus_get_timeout(link->bus.get(), &timeout) < 0 || timeout == UINT64_MAX) continue;
      timespec monotonic{};
      ::clock_gettime(CLOCK_MONOTONIC, &monotonic);
      const std::uint64_t current =
          static_cast<std::uint64_t>(monotonic.tv_sec) * 1'000'000 + static_cast<std::uint64_t>(monotonic.tv_nsec) / 1000;
      const int busWait = timeout <= current ? 0 : static_cast<int>(std::min<std::uint64_t>((timeout - current + 999) / 1000, 60'000));
      wait = wait < 0 ? busWait : std::min(wait, busWait);
    }
    return wait;
  }

  void run() {
    idleTime = std::make_unique<IdleTime>(nullptr, nullptr);
    for (;;) {
      const auto now = Clock::now();
      connect(now);
      std::deque<std::pair<std::string, std::function<void()>>> notes;
      std::vector<Lock> releases;
      std::optional<Tray> newTray;
      {
        MutexLock held(lock);
        if (stopping) break;
        notes.swap(toNotify);
        releases.swap(toRelease);
        newTray.swap(toShow);
      }
      for (const Lock what : releases) release(what);
      for (auto& [body, resume] : notes) send(body, std::move(resume));
      if (newTray) {
        shown = std::move(newTray);
        showTray();
      }
      answerIdle();
      std::vector<pollfd> fds{{wake[0], POLLIN, 0}};
      for (Link* link : {&system, &session}) {
        if (!link->bus) continue;
        while (sd_bus_process(link->bus.get(), nullptr) > 0) {
        }
      }
      dropLost(Clock::now());
      for (const Link* link : {&system, &session}) {
        if (!link->bus) continue;
        const int events = sd_bus_get_events(link->bus.get());
        const int fd = sd_bus_get_fd(link->bus.get());
        if (events >= 0 && fd >= 0) fds.push_back({fd, static_cast<short>(events), 0});
      }
      (void)::poll(fds.data(), fds.size(), pollTimeout(Clock::now()));
      if (fds[0].revents & POLLIN) {
        char drained[64];
        (void)!::read(wake[0], drained, sizeof drained);
      }
    }
    tray.reset();
    idleTime.reset();
    sent.clear();
    system.bus.reset();
    session.bus.reset();
    MutexLock held(lock);
    idleDone = idleAsked;
    idleAnswered.notify_all();
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

void DesktopEvents::notify(const std::string& body, std::function<void()> resume) {
  {
    MutexLock held(state_->lock);
    state_->toNotify.emplace_back(body, std::move(resume));
  }
  if (state_->wake[1] >= 0) state_->poke();
}

std::optional<double> DesktopEvents::idleSeconds() {
  if (!state_->thread.joinable()) return std::nullopt;
  State& state = *state_;
  MutexLock held(state.lock);
  if (state.stopping) return std::nullopt;
  const std::uint64_t ticket = ++state.idleAsked;
  state.poke();
  if (!held.waitUntil(state.idleAnswered, Clock::now() + kIdleWait,
                      [&]() REQUIRES(state.lock) { return state.idleDone >= ticket; })) {
    return std::nullopt;
  }
  return state.idle;
}

std::optional<std::string> DesktopEvents::idleSource() const {
  MutexLock held(state_->lock);
  return state_->idleSource;
}

}  // namespace lumetra
