#pragma once

// A store, a tracker on it and the host's actions, asked as the sockets ask them.
#include <memory>

#include "actions/HostActions.hpp"
#include "cli/Commands.hpp"
#include "control/WireCoding.hpp"
#include "store/StoreFixture.hpp"

namespace lumetra::test {

class ActionsFixture : public StoreFixture {
 protected:
  void SetUp() override { makeTracker(at(8, 0)); }
  void makeTracker(Instant now) {
    actions.reset();
    tracker = std::make_unique<Tracker>(store(), 600, now);
    if (!reader) reader = std::make_unique<Store>(path(), Database::readOnly);
    if (!sync) sync = std::make_unique<SyncEngine>(store(), folder.path());
    actions = std::make_unique<HostActions>(*tracker, *reader, *sync);
  }

  // The reply to one request line: a control request when it names a "command", else a host
  // action as lumetra-app's socket serves it.
  JSON answer(const std::string& request, Instant now) {
    if (request.find("\"command\"") != std::string::npos) return JSON::parse(actions->control().respond(request, now));
    try {
      return JSON::parse(Commands::serve(*actions, request, now));
    } catch (const std::exception& failure) {
      return JSON::parse(ControlHandler::response(ControlHandler::controlError(failure)));
    }
  }
  // The refusal a request gets, as "code: message", or "(ok)".
  std::string refusal(const std::string& request, Instant now) {
    const JSON reply = answer(request, now);
    if (reply.at("ok").get<bool>()) return "(ok)";
    return reply.at("error").at("code").get<std::string>() + ": " + reply.at("error").at("message").get<std::string>();
  }
  // The result of a request that must succeed.
  JSON result(const std::string& request, Instant now) {
    const JSON reply = answer(request, now);
    EXPECT_TRUE(reply.at("ok").get<bool>()) << reply.dump();
    return reply.value("result", JSON());
  }

  std::unique_ptr<Tracker> tracker;
  std::unique_ptr<Store> reader;  // what reports read, as on the host
  std::unique_ptr<SyncEngine> sync;
  std::unique_ptr<HostActions> actions;
};

}  // namespace lumetra::test
