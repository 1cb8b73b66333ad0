#include "web/WindowRequests.hpp"

#include "cli/Commands.hpp"
#include "convert/Conversion.hpp"

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
    CommandLineTool::Formatter formatter(now, actions.control().calendar());
    formatter.setDryRunEnd("Nothing is saved until you press Import.");
    reply["text"] = formatter.told(command, result);
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

std::string about(HostActions& actions) {
  JSON reply = JSON::object();
  reply["version"] = LUMETRA_VERSION;
  reply["data_folder"] = actions.settings().dataFolder();
  const auto& source = actions.settings().idleSource();
  reply["idle_source"] = source ? JSON(*source) : JSON(nullptr);
  return WireCoding::compact(reply);
}

std::string convert(HostActions& actions, const std::string& body) {
  const auto badRequest = [](const std::string& why) {
    return refused(ControlError(ControlError::Code::badRequest, "The request isn't valid: " + why));
  };
  JSON message;
  try {
    message = WireCoding::parse(body);
  } catch (const WireError& error) {
    return badRequest(error.description());
  }
  if (!message.is_object() || !message["format"].is_string() || !message["text"].is_string()) {
    return badRequest("it needs a format and a text.");
  }
  const std::string name = message["format"].get<std::string>();
  const auto format = Converter::format(name);
  if (!format) return refused(ControlError(ControlError::Code::badRequest, Conversion::unknownFormat(name)));
  Converter::Options options;
  if (message.contains("untagged") && message["untagged"].is_string() && !message["untagged"].get<std::string>().empty()) {
    options.untagged = message["untagged"].get<std::string>();
  }
  if (message.contains("project_tags") && message["project_tags"].is_string()) {
    options.projectTags = Conversion::tagList(message["project_tags"].get<std::string>());
  }
  for (const auto& project : actions.tracker().store().projects(true)) options.projects.push_back(project.name);
  const bool skipBad = message.contains("skip_bad") && message["skip_bad"] == true;
  const Conversion converted =
      Conversion::of(*format, message["text"].get<std::string>(), actions.control().calendar(), skipBad, options);
  std::string said;
  for (const auto& line : converted.lines) said += line + "\n";
  if (!converted.csv) {
    const bool one = converted.badLines == 1;
    said += converted.unreadable ? "Nothing was converted."
                                 : "Nothing was converted: " + converted.unreadableLines() + ". Fix " +
                                       (one ? "it" : "them") + ", or tick “Leave out lines that can't be read”.";
    return refused(ControlError(ControlError::Code::failed, said));
  }
  JSON reply = JSON::object();
  reply["ok"] = true;
  reply["result"] = {{"csv", *converted.csv}, {"entries", converted.entries}};
  reply["text"] = said + "Converted " + converted.count() + " from " + name + ".";
  return WireCoding::compact(reply);
}

std::string revision(HostActions& actions) {
  JSON reply = JSON::object();
  reply["revision"] = actions.tracker().store().revision();
  return WireCoding::compact(reply);
}

}  // namespace lumetra::WindowRequests
