#include "MenuHandler.hpp"

#include <functional>
#include <map>

#include "control/ControlResponse.hpp"
#include "control/WireCoding.hpp"

namespace lumetra {

namespace {

using Code = ControlError::Code;
using Action = std::function<JSON(MenuHandler::Actions&, const JSON&, Instant)>;

// Decodes the action's request record and encodes its result record.
template <class Request, class Call>
Action typed(Call call) {
  return [call](MenuHandler::Actions& actions, const JSON& json, Instant now) {
    Request request;
    try {
      request = WireCoding::fromJSON<Request>(json);
    } catch (const WireError& error) {
      throw ControlError(Code::badRequest, "The request isn't valid: " + error.description());
    }
    return WireCoding::toJSON(call(actions, request, now));
  };
}

using A = MenuHandler::Actions;

// The request of an action that takes nothing.
struct Nothing {
  static constexpr auto wireFields() { return std::tuple{}; }
};

const std::map<std::string_view, Action>& table() {
  static const std::map<std::string_view, Action> actions{
      {"projects", typed<ProjectsRequest>([](A& a, const auto& r, Instant) { return a.projects.list(r); })},
      {"project-add", typed<ProjectRequest>([](A& a, const auto& r, Instant now) { return a.projects.add(r, now); })},
      {"project-rename", typed<ProjectRequest>([](A& a, const auto& r, Instant) { return a.projects.rename(r); })},
      {"project-archive",
       typed<ProjectRequest>([](A& a, const auto& r, Instant now) { return a.projects.archive(r, now); })},
      {"project-unarchive",
       typed<ProjectRequest>([](A& a, const auto& r, Instant now) { return a.projects.unarchive(r, now); })},
      {"project-delete",
       typed<ProjectRequest>([](A& a, const auto& r, Instant now) { return a.projects.remove(r, now); })},
      {"project-usage", typed<ProjectRequest>([](A& a, const auto& r, Instant) { return a.projects.usage(r); })},
      {"session-add",
       typed<SessionAddRequest>([](A& a, const auto& r, Instant now) { return a.sessions.add(r, now); })},
      {"session-edit",
       typed<SessionEditRequest>([](A& a, const auto& r, Instant now) { return a.sessions.edit(r, now); })},
      {"session-split",
       typed<SessionSplitRequest>([](A& a, const auto& r, Instant now) { return a.sessions.split(r, now); })},
      {"session-merge",
       typed<SessionMergeRequest>([](A& a, const auto& r, Instant now) { return a.sessions.merge(r, now); })},
      {"session-delete",
       typed<SessionIdRequest>([](A& a, const auto& r, Instant now) { return a.sessions.remove(r, now); })},
      {"session-neighbours",
       typed<SessionIdRequest>([](A& a, const auto& r, Instant now) { return a.sessions.neighbours(r, now); })},
      {"idle-timeout",
       typed<IdleTimeoutSetting>([](A& a, const auto& r, Instant) { return a.settings.idleTimeout(r); })},
      {"web-port", typed<WebPortRequest>([](A& a, const auto& r, Instant) { return a.settings.webPort(r); })},
      {"window", typed<Nothing>([](A& a, const auto&, Instant) { return a.settings.window(); })},
      {"export", typed<ExportRequest>([](A& a, const auto& r, Instant now) { return a.reports.exportCSV(r, now); })},
      {"report", typed<ReportRequest>([](A& a, const auto& r, Instant now) { return a.reports.report(r, now); })},
  };
  return actions;
}

}  // namespace

MenuHandler::MenuHandler(Tracker& tracker, ControlHandler& control)
    : tracker_(tracker),
      actions_{ProjectActions(control), SessionActions(control), SettingActions(tracker), ReportActions(control)} {}

std::vector<std::string_view> MenuHandler::actionNames() {
  std::vector<std::string_view> names;
  for (const auto& [name, action] : table()) names.push_back(name);
  return names;
}

std::string MenuHandler::respond(const std::string& data, Instant now) {
  tracker_.store().owner().assertHeld();
  try {
    JSON request;
    try {
      request = WireCoding::parse(data);
    } catch (const WireError& error) {
      throw ControlError(Code::badRequest, "The request isn't valid: " + error.description());
    }
    if (!request.is_object()) throw ControlError(Code::badRequest, "The request isn't valid: The message isn't an object.");
    const auto name = request.find("action");
    if (name == request.end() || !name->is_string()) throw ControlError(Code::badRequest, "The request needs “action”.");
    const auto action = table().find(name->get_ref<const std::string&>());
    if (action == table().end()) {
      throw ControlError(Code::badRequest, "Unknown action “" + name->get<std::string>() + "”.");
    }
    JSON reply = JSON::object();
    reply["ok"] = true;
    reply["result"] = action->second(actions_, request, now);
    return WireCoding::compact(reply);
  } catch (const std::exception& failure) {
    return ControlHandler::response(ControlHandler::controlError(failure));
  }
}

}  // namespace lumetra
