#include "host/Host.hpp"

#include "actions/Console.hpp"
#include "actions/WindowPort.hpp"
#include "cli/Commands.hpp"
#include "cli/Sentences.hpp"
#include "platform/FileSystem.hpp"
#include "platform/ProcessInfo.hpp"
#include "platform/UserFolders.hpp"
#include "sync/Syncthing.hpp"

namespace lumetra {

using Console::complain;
using Console::say;

Host::Host(const std::filesystem::path& dataDirectory, bool scratch)
    : folder_(dataDirectory, scratch),
      tracker_(folder_.store(), folder_.store().idleTimeout(), Instant::now()),
      sync_(folder_.store(), folder_.path()),
      actions_(tracker_, folder_.reader(), sync_),
      owner_(heartbeat, [this] { beat(); }),
      reader_(std::chrono::hours(24), {}),
      pacer_([this] { owner_.schedule([this] { sync(); }); }),
      desktop_(actions_, [this](OwnerQueue::Job job) { owner_.schedule(std::move(job)); },
               ProcessInfo::executable(nullptr).parent_path().parent_path() / "Resources" / "icons",
               [this] { (void)ProcessInfo::launch("xdg-open", {windowPage().string()}); }) {
  try {
    start();
  } catch (...) {
    stop();
    throw;
  }
}

void Host::start() {
  const auto port = WindowPort::choose(UserFolders::environmentValue(WindowPort::variable),
                                       folder_.store().setting(std::string(WindowPort::setting)));
  // From here on only the owner thread uses them, and the reader thread the reader.
  folder_.store().owner().release();
  folder_.reader().owner().release();
  window_ = openWindow(port);
  // Whether the window opened is taken here: the main thread lets window_ go at stop, while this
  // job may still run.
  owner_.schedule([this, windowOpen = window_ != nullptr] {
    // Said once: without a source of idle time, sessions only stop by hand or by sleep.
    const bool seen = desktop_.idleSeconds().has_value();
    actions_.settings().setInputSeen(seen);
    actions_.settings().setIdleSource(desktop_.idleSource());
    actions_.settings().setDataFolder(folder_.path().string());
    if (!seen) say(Sentences::unseenInput);
    desktop_.setWindowOpen(windowOpen);
    actions_.sync().problems = [](const std::string& problem) { complain("Sync: " + problem); };
    actions_.sync().rescan = [](const std::filesystem::path& folder) { return Syncthing::rescan(folder); };
    sync();
    if (const auto& event = tracker_.recoveryEvent()) desktop_.announce(*event);
    desktop_.refreshTray(Instant::now());
    beating_ = true;
  });
  // The tray follows what a request changed, in a job of its own after the answer.
  sockets_.emplace(folder_.path(), actions_, ControlServer::Owner{[this](auto job) { owner_.schedule(std::move(job)); }},
                   [this](auto job) { reader_.schedule(std::move(job)); }, [this] {
                     pacer_.changed();
                     owner_.schedule([this] { desktop_.refreshTray(Instant::now()); });
                   });
  try {
    sockets_->start();
  } catch (const std::exception& error) {
    throw CantStart("Couldn't open the control socket: " + describe(error));
  }
  say("Lumetra is running. Data: " + folder_.path().string() + ". Stop with Ctrl-C." +
      (window_ ? " Open its window with “lumetra-app open”." : ""));
}

// The window is optional: the host runs on without it.
std::unique_ptr<WebServer> Host::openWindow(const WindowPort::Choice& choice) {
  std::string off = choice.problem.value_or("Lumetra's window is off: LUMETRA_WEB_PORT or its setting says so.");
  std::unique_ptr<WebServer> window;
  if (choice.port) {
    const auto relay = [this](std::function<std::string()> work) {
      return ControlServer::relay(ControlServer::busyTimeout, [this](auto job) { owner_.schedule(std::move(job)); },
                                  [this, work = std::move(work)] {
                                    const auto before = folder_.store().revision();
                                    std::string reply = work();
                                    if (folder_.store().revision() != before) {
                                      pacer_.changed();
                                      owner_.schedule([this] { desktop_.refreshTray(Instant::now()); });
                                    }
                                    return reply;
                                  });
    };
    const auto reads = [this](std::function<std::string()> work) {
      return ControlServer::relay(ControlServer::busyTimeout, [this](auto job) { reader_.schedule(std::move(job)); },
                                  std::move(work));
    };
    window = std::make_unique<WebServer>(actions_, relay, reads, ControlHandler::response(ControlHandler::busy()));
    if (auto problem = window->start(*choice.port)) {
      // A port in use (another host's window, say) leaves the window on a free one this time;
      // the forwarding page in the data folder, and `open`, know which.
      if (*choice.port != 0 && !window->start(0)) {
        say("The window's port " + std::to_string(*choice.port) + " is in use, so the window is on port " +
            std::to_string(window->port()) + " this time.");
      } else {
        off = *problem;
        window.reset();
      }
    }
  }
  if (window) {
    // The forwarding page the browser is handed; private, like everything in the folder.
    const std::string address = window->address();
    FileSystem::writeAtomically(windowPage(), "<!doctype html>\n<meta charset=\"utf-8\">\n<meta http-equiv=\"refresh\" content=\"0; url=" +
                                                  address + "\">\n<title>Lumetra</title>\n<a href=\"" + address +
                                                  "\">Open Lumetra</a>\n");
  } else {
    say(off);
  }
  owner_.schedule([this, address = window ? window->address() : "", port = window ? window->port() : 0, off] {
    actions_.settings().setWindow(address, port, off);
  });
  return window;
}

void Host::beat() {
  if (!beating_ || damaged_) return;
  try {
    const Instant now = Instant::now();
    const auto idle = desktop_.idleSeconds();
    actions_.settings().setInputSeen(idle.has_value());
    actions_.settings().setIdleSource(desktop_.idleSource());
    if (const auto event = tracker_.tick(now, idle.value_or(0))) desktop_.announce(*event);
    desktop_.refreshTray(now);
    // Changes made here another way (the tray, an automatic stop) are written out soon.
    if (folder_.store().revision() != syncedRevision_) pacer_.changed();
    // After many deletes, the file gives back its free pages while nothing runs.
    if (!tracker_.isTracking() && folder_.store().reclaimSpace(now)) say("Lumetra gave the database's free space back.");
  } catch (const DatabaseError& error) {
    if (!error.isDamage()) return complain(error.description());
    // Said once; writing on would only make it worse, so the host stops as on SIGTERM.
    damaged_ = true;
    complain(folder_.damaged(error.message()));
    ProcessInfo::requestStop();
  } catch (const std::exception& error) {
    complain(describe(error));
  }
}

void Host::sync() {
  if (damaged_) return;
  try {
    if (!sync_.enabled()) {
      syncedRevision_ = folder_.store().revision();
      return;
    }
    const Instant now = Instant::now();
    if (const auto event = actions_.sync().cycle(now)) desktop_.announce(*event);
    syncedRevision_ = folder_.store().revision();
    desktop_.refreshTray(now);
    pacer_.watch(sync_.watched());
  } catch (const std::exception& error) {
    complain("Sync: " + describe(error));
  }
}

int Host::run() {
  (void)ProcessInfo::waitForStopSignal();
  return damaged_ ? 1 : 0;
}

// Servers first, so that requests already taken are answered while the owner still runs; then
// the owner, before the parts its jobs use go.
void Host::stop() {
  sockets_.reset();
  if (window_) FileSystem::removeFile(windowPage());
  window_.reset();
  owner_.stop();
  reader_.stop();
}

std::filesystem::path Host::windowPage() const { return folder_.path() / std::string(Commands::windowPageName); }

Host::~Host() {
  stop();
  if (damaged_) return;
  folder_.store().owner().release();  // back to this thread, the owner thread having ended
  try {
    tracker_.persist();
  } catch (const std::exception& error) {
    complain(describe(error));
  }
  say("Lumetra stopped.");
}

}  // namespace lumetra
