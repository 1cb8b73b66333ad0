#include "web/WindowRequests.hpp"

#include "cli/Commands.hpp"

namespace lumetra::WindowRequests {

namespace {

std::string refused(const std::exception& failure) {
  return ControlHandler::response(ControlHandler::controlError(failure));
}

}  // namespace

std::string control(HostActions& actions, std::string body, Instant now) {
  ControlRequest request;
  try {
    JSON message = WireCoding::parse(body);
    std::string().swap(body);  // an import's file is in it: not kept twice
    auto csv = WireCoding::takeText(message, "csv");
    request = WireCoding::fromJSON<ControlRequest>(message);
    if (csv) request.csv = std::move(csv);
  } catch (const WireError& error) {
    return refused(ControlError(ControlError::Code::badRequest, "The request isn't valid: " + error.description()));
  }
  try {
    const ControlResult result = actions.perform(request, now);
    JSON reply = JSON::object();
    reply["ok"] = true;
    reply["result"] = std::visit([](const auto& typed) { return WireCoding::toJSON(typed); }, result);
    const auto command = *fromRawValue<ControlCommand>(request.command);
    reply["text"] = CommandLineTool::Formatter(now, actions.control().calendar()).told(command, result);
    return WireCoding::compact(reply);
  } catch (const std::exception& failure) {
    return refused(failure);
  }
}

std::string action(HostActions& actions, const std::string& body, Instant now) {
  try {
    const CommandLineTool::Formatter formatter(now, actions.control().calendar());
    return Commands::serve(actions, body, now, &formatter);
  } catch (const std::exception& failure) {
    return refused(failure);
  }
}

std::string revision(HostActions& actions) {
  JSON reply = JSON::object();
  reply["revision"] = actions.tracker().store().revision();
  return WireCoding::compact(reply);
}

}  // namespace lumetra::WindowRequests
