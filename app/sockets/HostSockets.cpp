#include "sockets/HostSockets.hpp"

#include "cli/Commands.hpp"

namespace lumetra {

namespace {

const std::string& busyReply() {
  static const std::string reply = ControlHandler::response(ControlHandler::busy());
  return reply;
}

ControlServer::Owner withReader(ControlServer::Owner owner, ControlServer::Reader reader) {
  owner.reader = std::move(reader);
  return owner;
}

}  // namespace

HostSockets::HostSockets(const std::filesystem::path& dataDirectory, HostActions& actions, ControlServer::Owner owner,
                         ControlServer::Schedule reader, std::function<void()> changed)
    : actions_(actions),
      changed_(std::move(changed)),
      app_(dataDirectory / std::string(Commands::appSocketName),
           [this](const std::string& line) { return answered([&](Instant now) { return served(line, now); }); },
           busyReply(),
           withReader(owner, {std::move(reader), Commands::readsOnly,
                              [this](const std::string& line) { return served(line, Instant::now()); }})),
      control_(ControlProtocol::socketURL(dataDirectory),
               [this](const std::string& line) {
                 return answered([&](Instant now) { return actions_.control().respond(line, now); });
               },
               busyReply(), owner) {}

void HostSockets::start() {
  app_.start();
  control_.start();
}

std::string HostSockets::served(const std::string& line, Instant now) {
  try {
    return Commands::serve(actions_, line, now);
  } catch (const std::exception& failure) {
    return ControlHandler::response(ControlHandler::controlError(failure));
  }
}

std::string HostSockets::answered(const std::function<std::string(Instant)>& respond) {
  const auto before = actions_.tracker().store().revision();
  std::string reply = respond(Instant::now());
  if (changed_ && actions_.tracker().store().revision() != before) changed_();
  return reply;
}

}  // namespace lumetra
