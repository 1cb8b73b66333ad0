#include "Host.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

#include "MenuCommandLine.hpp"
#include "MenuHandler.hpp"
#include "OwnerQueue.hpp"
#include "cli/Formatter.hpp"
#include "control/ControlServer.hpp"
#include "install/LegacyData.hpp"
#include "install/RunMode.hpp"
#include "platform/FileSystem.hpp"
#include "platform/IdleTime.hpp"
#include "platform/ProcessInfo.hpp"
#include "store/Store.hpp"
#include "tracking/ControlHandler.hpp"
#include "tracking/Tracker.hpp"

namespace lumetra::Host {

namespace {

constexpr auto kHeartbeat = std::chrono::seconds(5);

void say(const std::string& line) { std::cout << line << std::endl; }
void complain(const std::string& line) { std::cerr << "lumetra-app: " << line << std::endl; }

// Creates the directory (owner-only) when it is missing. False, after saying why, on failure.
bool prepareDirectory(const std::filesystem::path& directory) {
  std::error_code error;
  if (std::filesystem::is_directory(directory, error)) return true;
  if (!directory.parent_path().empty()) std::filesystem::create_directories(directory.parent_path(), error);
  if (const int failure = FileSystem::createFolder(directory, 0700); failure != 0) {
    complain("Couldn't create the data folder " + directory.string() + ": " + std::strerror(failure) + ".");
    return false;
  }
  return true;
}

std::string whatStopped(Store& store, const AutoStopEvent& event) {
  const auto project = store.project(event.projectId);
  const CommandLineTool::Formatter formatter(Instant::now(), Calendar::current());
  const std::string name = "“" + (project ? project->name : std::string("?")) + "”";
  const std::string at = " at " + formatter.time(event.endedAt);
  switch (event.reason) {
    case EndReason::asleep:
      return "Stopped " + name + at + ", when the computer went to sleep.";
    case EndReason::recovered:
      return "Stopped " + name + at + ", where it was last active before Lumetra closed.";
    default:
      return "Stopped " + name + at + ", the last input before " + CommandLineTool::Formatter::duration(
                                                                          static_cast<std::int64_t>(event.retracted)) +
             " without any.";
  }
}

}  // namespace

int run(const std::filesystem::path& dataDirectory) {
  // Signals are taken by sigwait below; every thread started from here on inherits the block.
  ProcessInfo::blockStopSignals();
  ProcessInfo::ignoreBrokenPipe();

  const RunMode mode = RunMode::current();
  const Environment environment = UserFolders::currentEnvironment();
  if (const auto note = mode.menuNote(UserFolders::home(environment))) say(*note);
  // A normal run takes over the earlier application's data before opening the store; a
  // scratch run never touches it.
  if (!mode.isScratch()) {
    const auto earlier = LegacyData::defaultDirectory(environment);
    try {
      switch (LegacyData::migrate(earlier, dataDirectory)) {
        case LegacyData::Outcome::moved:
          say("Moved your Hourbook data from " + earlier.string() + " to " + dataDirectory.string() + ".");
          break;
        case LegacyData::Outcome::bothExist:
          say("Hourbook's data is still in " + earlier.string() + "; Lumetra keeps using " + dataDirectory.string() +
              ". Move or delete one of them.");
          break;
        case LegacyData::Outcome::nothingToMove:
          break;
      }
    } catch (const std::filesystem::filesystem_error& error) {
      complain("Couldn't take over the Hourbook data in " + earlier.string() + ": " + error.code().message() +
               ". Nothing else was changed; fix that and start Lumetra again.");
      return 1;
    }
  }
  if (!prepareDirectory(dataDirectory)) return 1;
  std::unique_ptr<Store> store;
  try {
    store = std::make_unique<Store>((dataDirectory / std::string(Store::databaseName)).string());
  } catch (const std::exception& error) {
    complain(describe(error));
    return 1;
  }
  std::unique_ptr<Tracker> tracker;
  try {
    tracker = std::make_unique<Tracker>(*store, store->idleTimeout(), Instant::now());
  } catch (const std::exception& error) {
    complain(describe(error));
    return 1;
  }
  if (const auto& event = tracker->recoveryEvent()) say(whatStopped(*store, *event));

  ControlHandler control(*tracker);
  MenuHandler menu(*tracker, control);
  OwnerQueue owner(kHeartbeat, [&] {
    try {
      if (const auto event = tracker->tick(Instant::now(), IdleTime::seconds())) say(whatStopped(*store, *event));
    } catch (const std::exception& error) {
      complain(describe(error));
    }
  });
  const ControlServer::Schedule schedule = [&owner](std::function<void()> job) { owner.schedule(std::move(job)); };
  const auto relayed = [&schedule](auto respond) {
    return [&schedule, respond](const std::string& line) {
      const auto reply =
          ControlServer::relay(ControlServer::busyTimeout, schedule, [&] { return respond(line, Instant::now()); });
      return reply ? *reply : ControlHandler::response(ControlHandler::busy());
    };
  };
  auto controlServer = std::make_unique<ControlServer>(
      ControlProtocol::socketURL(dataDirectory),
      relayed([&control](const std::string& line, Instant now) { return control.respond(line, now); }));
  auto menuServer = std::make_unique<ControlServer>(
      dataDirectory / std::string(MenuCommandLine::socketName),
      relayed([&menu](const std::string& line, Instant now) { return menu.respond(line, now); }));
  try {
    menuServer->start();
    controlServer->start();  // last: its socket file appearing means everything is ready
  } catch (const std::exception& error) {
    complain("Couldn't open the control socket: " + describe(error));
    menuServer.reset();
    owner.stop();
    return 1;
  }
  say("Lumetra is running. Data: " + dataDirectory.string() + ". Stop with Ctrl-C.");

  (void)ProcessInfo::waitForStopSignal();
  // Servers first, so that requests already accepted are answered while the owner still runs.
  controlServer.reset();
  menuServer.reset();
  owner.stop();
  try {
    tracker->persist();
  } catch (const std::exception& error) {
    complain(describe(error));
  }
  say("Lumetra stopped.");
  return 0;
}

}  // namespace lumetra::Host
