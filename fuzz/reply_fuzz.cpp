// Replies from the socket, decoded as every result record the tool expects.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/Formatter.hpp"
#include "control/ControlClient.hpp"

namespace {

template <class Result, class Print>
void decodeAndPrint(const std::string& reply, Print print) {
  try {
    const auto result = lumetra::ControlClient::send<Result>(lumetra::ControlRequest(lumetra::ControlCommand::status),
                                                             [&](const std::string&) { return reply; });
    (void)print(result);
  } catch (const lumetra::ControlError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumetra;
  static const CommandLineTool::Formatter formatter(Instant(1714557600), Calendar("Europe/Berlin"));
  const std::string reply(reinterpret_cast<const char*>(data), size);
  decodeAndPrint<StatusResult>(reply, [](const auto& r) { return formatter.status(r); });
  decodeAndPrint<SessionsResult>(reply, [](const auto& r) { return formatter.sessions(r); });
  decodeAndPrint<StartResult>(reply, [](const auto& r) { return formatter.start(r); });
  decodeAndPrint<ImportReport>(reply, [](const auto& r) { return formatter.importReport(r); });
  return 0;
}
