#include "Host.hpp"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

#include "HostDesktop.hpp"
#include "MenuCommandLine.hpp"
#include "MenuHandler.hpp"
#include "OwnerQueue.hpp"
#include "cli/Formatter.hpp"
#include "control/ControlServer.hpp"
#include "install/LegacyData.hpp"
#include "install/LoginService.hpp"
#include "install/RunMode.hpp"
#include "platform/FileLock.hpp"
#include "platform/FileSystem.hpp"
#include "platform/IdleTime.hpp"
#include "platform/ProcessInfo.hpp"
#include "store/Store.hpp"
#include "tracking/ControlHandler.hpp"
#include "tracking/Tracker.hpp"
#include "web/WebAccess.hpp"
#include "web/WebActions.hpp"
#include "web/WebServer.hpp"

namespace lumetra::Host {

namespace {

constexpr auto kHeartbeat = std::chrono::seconds(5);

void say(const std::string& line) { std::cout << line << std::endl; }
void complain(const std::string& line) { std::cerr << "lumetra-app: " << line << std::endl; }

// The data folder must be this user's; one others may read or change is used, with a word.
bool checkOwnership(const std::filesystem::path& directory) {
  const auto status = FileSystem::status(directory);
  if (!status) return true;  // creating it, or the lock, says what is wrong
  if (status->owner != ProcessInfo::userId()) {
    complain("The data folder " + directory.string() +
             " belongs to another user, so Lumetra won't use it. Set LUMETRA_DATA_DIR to a folder of your own.");
    return false;
  }
  if ((status->mode & 077) != 0) {
    char mode[16];
    std::snprintf(mode, sizeof mode, "%04o", status->mode);
    say("The data folder " + directory.string() + " can be read or changed by other users (mode " + mode +
        "). Run “chmod 700 " + directory.string() + "” to keep your time private.");
  }
  return true;
}

// Creates the directory (owner-only) when it is missing. False, after saying why, on failure.
bool prepareDirectory(const std::filesystem::path& directory) {
  std::error_code error;
  if (std::filesystem::is_directory(directory, error)) return checkOwnership(directory);
  if (!directory.parent_path().empty()) std::filesystem::create_directories(directory.parent_path(), error);
  if (const int failure = FileSystem::createFolder(directory, 0700); failure != 0) {
    complain("Couldn't create the data folder " + directory.string() + ": " + std::strerror(failure) + ".");
    return false;
  }
  return checkOwnership(directory);
}

std::string damagedSentence(const std::filesystem::path& database, const std::string& finding) {
  return "The database " + database.string() + " is damaged (" + finding +
         "), so Lumetra won't use it. Restore it from a backup, or try “sqlite3 " + database.string() +
         " .recover”, then start Lumetra again.";
}

// Moves the earlier application's data into place. False, after saying why, when it failed.
bool takeOverLegacyData(const std::filesystem::path& earlier, const std::filesystem::path& current) {
  try {
    switch (LegacyData::migrate(earlier, current)) {
      case LegacyData::Outcome::moved:
        say("Moved your Hourbook data from " + earlier.string() + " to " + current.string() + ".");
        break;
      case LegacyData::Outcome::bothExist:
        say("Hourbook's data is still in " + earlier.string() + "; Lumetra keeps using " + current.string() +
            ". Move or delete one of them.");
        break;
      case LegacyData::Outcome::nothingToMove:
        break;
    }
    return true;
  } catch (const std::filesystem::filesystem_error& error) {
    complain("Couldn't take over the Hourbook data in " + earlier.string() + ": " + error.code().message() +
             ". Nothing else was changed; fix that and start Lumetra again.");
    return false;
  }
}


// Opens the store and checks its pages; nothing, after saying why, when it can't be used.
std::unique_ptr<Store> openStore(const std::filesystem::path& databasePath) {
  // Files from before the host made its files private are made so now; SQLite gives the journal
  // files the database's own mode.
  for (const char* suffix : {"", "-wal", "-shm"}) {
    (void)FileSystem::setMode(databasePath.string() + suffix, 0600);
  }
  try {
    auto store = std::make_unique<Store>(databasePath.string());
    if (const auto damage = store->damage()) {
      complain(damagedSentence(databasePath, *damage));
      return nullptr;
    }
    return store;
  } catch (const DatabaseError& error) {
    complain(error.isDamage() ? damagedSentence(databasePath, error.message()) : error.description());
  } catch (const std::exception& error) {
    complain(describe(error));
  }
  return nullptr;
}

// Takes the data folder's lock; false, after saying who has it, when another host does.
bool lockFolder(FileLock& lock, const std::filesystem::path& dataDirectory, const std::filesystem::path& lockFile) {
  if (lock.held()) {
    lock.record(std::to_string(ProcessInfo::processId()) + "\n");
    return true;
  }
  if (lock.error() != 0) {
    complain("Couldn't lock the data folder " + dataDirectory.string() + ": " + std::strerror(lock.error()) + ".");
  } else {
    std::string holder = FileLock::recorded(lockFile);
    while (!holder.empty() && holder.back() == '\n') holder.pop_back();
    complain("Lumetra is already running on " + dataDirectory.string() +
             (holder.empty() ? "" : " (process " + holder + ")") + ". Stop it first, or use another data folder.");
  }
  return false;
}

// The window, when its port choice allows and the port is free; otherwise nothing, and `whyOff`
// says why.
std::unique_ptr<WebServer> openWindow(const WebAccess::PortChoice& choice, WebServer::Handlers handlers,
                                      WebServer::Relay relay, const std::string& busy, std::string& whyOff) {
  whyOff = choice.problem.value_or("Lumetra's window is off: LUMETRA_WEB_PORT or its setting says so.");
  if (!choice.port) return nullptr;
  auto web = std::make_unique<WebServer>(std::move(handlers), std::move(relay), busy);
  if (auto problem = web->start(*choice.port)) {
    whyOff = *problem;
    return nullptr;
  }
  return web;
}

}  // namespace

int run(const std::filesystem::path& dataDirectory) {
  // Signals are taken by sigwait below; every thread started from here on inherits the block.
  ProcessInfo::blockStopSignals();
  ProcessInfo::shareAllocatorArenas();
  ProcessInfo::ignoreBrokenPipe();
  // The database, its journal, the lock and the sockets are for this user alone.
  ProcessInfo::createPrivateFiles();

  const RunMode mode = RunMode::current();
  const Environment environment = UserFolders::currentEnvironment();
  if (const auto note = mode.menuNote(UserFolders::home(environment))) say(*note);
  // Started by hand while the login service is on: the service's own host takes over.
  if (const auto manager = ServiceManager::systemdUser(); LoginService::handsOff(mode, *manager, environment)) {
    if (manager->control({"start", std::string(LoginService::unitName)})) {
      say("Lumetra runs as the user service " + std::string(LoginService::unitName) +
          ", so it was started there. “systemctl --user stop lumetra” stops it.");
      return 0;
    }
    complain("Couldn't start the user service " + std::string(LoginService::unitName) + "; running here instead.");
  }
  // A normal run takes over the earlier application's data before opening the store; a
  // scratch run never touches it. While the data folder doesn't exist no host can be using it,
  // so the move may come before the lock; otherwise it waits for the lock.
  const auto earlier = LegacyData::defaultDirectory(environment);
  const bool moveFirst = !mode.isScratch() && LegacyData::needsMove(earlier, dataDirectory);
  if (moveFirst && !takeOverLegacyData(earlier, dataDirectory)) return 1;
  if (!prepareDirectory(dataDirectory)) return 1;

  const auto lockFile = dataDirectory / std::string(lockName);
  FileLock lock(lockFile);
  if (!lockFolder(lock, dataDirectory, lockFile)) return 1;
  if (!mode.isScratch() && !moveFirst && !takeOverLegacyData(earlier, dataDirectory)) return 1;

  const auto databasePath = dataDirectory / std::string(Store::databaseName);
  const std::unique_ptr<Store> store = openStore(databasePath);
  if (!store) return 1;
  std::unique_ptr<Tracker> tracker;
  try {
    tracker = std::make_unique<Tracker>(*store, store->idleTimeout(), Instant::now());
  } catch (const std::exception& error) {
    complain(describe(error));
    return 1;
  }
  const auto webPort = WebAccess::choosePort(UserFolders::environmentValue(WebAccess::portVariable),
                                             store->setting(std::string(WebAccess::portSetting)));

  // From here on only the owner thread uses them.
  store->owner().release();
  ControlHandler control(*tracker);
  MenuHandler menu(*tracker, control);
  WebActions webActions(control, menu);
  // Set on the owner thread once the desktop is there; the heartbeat reads it there.
  HostDesktop* desktop = nullptr;
  std::atomic<bool> damaged = false;
  OwnerQueue owner(kHeartbeat, [&] {
    if (damaged) return;
    try {
      const Instant now = Instant::now();
      const auto event = tracker->tick(now, IdleTime::seconds().value_or(0));
      if (event) desktop ? desktop->announce(*event) : say(HostDesktop::whatStopped(*store, *event));
      if (desktop) desktop->refreshTray(now);
    } catch (const DatabaseError& error) {
      if (!error.isDamage()) return complain(error.description());
      // Said once; writing on would only make it worse, so the host stops as on SIGTERM.
      damaged = true;
      complain(damagedSentence(databasePath, error.message()));
      ProcessInfo::requestStop();
    } catch (const std::exception& error) {
      complain(describe(error));
    }
  });
  const std::string busy = ControlHandler::response(ControlHandler::busy());
  const ControlServer::Schedule schedule = [&owner](std::function<void()> job) { owner.schedule(std::move(job)); };
  // Every request runs on the owner thread; the tray follows what it changed, in a job of its
  // own after the answer (the page's once-a-second look at the revision changes nothing, so it
  // costs the tray nothing).
  const auto trayFollows = [&owner, &desktop, &store](const std::function<std::string()>& work) {
    const auto before = store->revision();
    std::string answer = work();
    if (store->revision() != before) {
      owner.schedule([&desktop] {
        if (desktop) desktop->refreshTray(Instant::now());
      });
    }
    return answer;
  };
  const WebServer::Relay onOwner = [&schedule, &trayFollows](std::function<std::string()> work) {
    return ControlServer::relay(ControlServer::busyTimeout, schedule,
                                [&trayFollows, work = std::move(work)] { return trayFollows(work); });
  };
  // The sockets' requests go onto the owner thread, which answers them itself.
  const auto onOwnerThread = [&trayFollows](auto respond) {
    return [&trayFollows, respond](const std::string& line) {
      return trayFollows([&] { return respond(line, Instant::now()); });
    };
  };
  const ControlServer::Owner ownerThread{schedule};
  auto controlServer = std::make_unique<ControlServer>(
      ControlProtocol::socketURL(dataDirectory),
      onOwnerThread([&control](const std::string& line, Instant now) { return control.respond(line, now); }), busy,
      ownerThread);
  auto menuServer = std::make_unique<ControlServer>(
      dataDirectory / std::string(MenuCommandLine::socketName),
      onOwnerThread([&menu](const std::string& line, Instant now) { return menu.respond(line, now); }), busy,
      ownerThread);
  HostDesktop hostDesktop(*tracker, webActions, schedule,
                          ProcessInfo::executable(nullptr).parent_path().parent_path() / "Resources" / "icons");
  // Said once: without a source of idle time, sessions only stop by hand or by sleep.
  owner.schedule([] {
    if (!IdleTime::seconds()) say(std::string(MenuCommandLine::unseenInput));
  });
  // The window is optional: the host runs on without it. It is ready before the sockets are.
  std::string windowOff;
  auto web = openWindow(webPort,
                        {[&webActions](const std::string& body) { return webActions.control(body, Instant::now()); },
                         [&webActions](const std::string& body) { return webActions.menu(body, Instant::now()); },
                         [&webActions] { return webActions.revision(); }},
                        onOwner, busy, windowOff);
  if (!web) say(windowOff);
  owner.schedule([&, address = web ? web->address() : "", port = web ? web->port() : 0, windowOff] {
    menu.setWindow(address, port, windowOff);
    hostDesktop.setWindow(address);
    desktop = &hostDesktop;
    if (const auto& event = tracker->recoveryEvent()) desktop->announce(*event);
    desktop->refreshTray(Instant::now());
  });
  try {
    menuServer->start();
    controlServer->start();  // last: its socket file appearing means everything is ready
  } catch (const std::exception& error) {
    complain("Couldn't open the control socket: " + describe(error));
    web.reset();
    menuServer.reset();
    owner.stop();
    return 1;
  }
  say("Lumetra is running. Data: " + dataDirectory.string() + ". Stop with Ctrl-C." +
      (web ? " Open its window with “lumetra-app open”." : ""));

  (void)ProcessInfo::waitForStopSignal();
  // Servers first, so that requests already accepted are answered while the owner still runs.
  web.reset();
  controlServer.reset();
  menuServer.reset();
  owner.stop();
  if (damaged) return 1;
  store->owner().release();  // back to this thread, the owner thread having ended
  try {
    tracker->persist();
  } catch (const std::exception& error) {
    complain(describe(error));
  }
  say("Lumetra stopped.");
  return 0;
}

}  // namespace lumetra::Host
