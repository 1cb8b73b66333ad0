#include "web/WebActions.hpp"

#include "MenuCommandLine.hpp"
#include "cli/Formatter.hpp"
#include "control/ControlRequest.hpp"
#include "control/ProjectsResult.hpp"
#include "control/SessionResult.hpp"
#include "control/SessionsResult.hpp"
#include "control/StartResult.hpp"
#include "control/StatusResult.hpp"
#include "control/StopResult.hpp"
#include "store/ImportReport.hpp"

namespace lumetra {

namespace {

using CommandLineTool::Formatter;

template <class Result>
std::string told(const JSON& result, std::string (Formatter::*tell)(const Result&) const, const Formatter& formatter) {
  return (formatter.*tell)(WireCoding::fromJSON<Result>(result, "result"));
}

std::string controlText(const std::string& command, const JSON& result, const Formatter& formatter) {
  switch (fromRawValue<ControlCommand>(command).value_or(ControlCommand::status)) {
    case ControlCommand::status: return told(result, &Formatter::status, formatter);
    case ControlCommand::projects: return told(result, &Formatter::projects, formatter);
    case ControlCommand::start: return told(result, &Formatter::start, formatter);
    case ControlCommand::stop: return told(result, &Formatter::stop, formatter);
    case ControlCommand::resume: return told(result, &Formatter::resume, formatter);
    case ControlCommand::describe: return told(result, &Formatter::describe, formatter);
    case ControlCommand::sessions: return told(result, &Formatter::sessions, formatter);
    case ControlCommand::importSessions: return told(result, &Formatter::importReport, formatter);
  }
  return {};
}

// Adds the sentence to a successful reply; a refusal already carries its own.
template <class Tell>
std::string withText(const std::string& reply, Tell tell) {
  try {
    JSON parsed = WireCoding::parse(reply);
    if (!parsed.value("ok", false)) return reply;
    parsed["text"] = tell(parsed.at("result"));
    return WireCoding::compact(parsed);
  } catch (const std::exception&) {
    return reply;  // the reply stands; only its sentence is missing
  }
}

std::string field(const std::string& body, const char* key) {
  try {
    const JSON request = WireCoding::parse(body);
    if (const auto it = request.find(key); it != request.end() && it->is_string()) return it->get<std::string>();
  } catch (const std::exception&) {
  }
  return {};
}

}  // namespace

WebActions::WebActions(ControlHandler& control, MenuHandler& menu) : control_(control), menu_(menu) {}

std::string WebActions::control(const std::string& body, Instant now) {
  // Decoded once (an import's body is the whole file): its command picks the sentence.
  ControlRequest request;
  try {
    request = WireCoding::decode<ControlRequest>(body);
  } catch (const WireError&) {
    return control_.respond(body, now);  // the same refusal the socket gives
  }
  const Formatter formatter(now, control_.calendar());
  return withText(control_.respond(request, now),
                  [&](const JSON& result) { return controlText(request.command, result, formatter); });
}

std::string WebActions::menu(const std::string& body, Instant now) {
  const Formatter formatter(now, control_.calendar());
  const std::string verb = field(body, "action");
  return withText(menu_.respond(body, now), [&](const JSON& result) {
    return verb == "export" ? std::string() : MenuCommandLine::printed(verb, result, formatter);
  });
}

std::string WebActions::revision() {
  JSON reply = JSON::object();
  reply["revision"] = control_.tracker().store().revision();
  return WireCoding::compact(reply);
}

}  // namespace lumetra
