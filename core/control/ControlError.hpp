#pragma once

#include <array>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "platform/WireField.hpp"
#include "platform/Error.hpp"

namespace lumetra {

// A failure that travels in replies; also what the transport, ControlClient::send and the
// command handler throw. `message` is the text for a person.
class ControlError final : public Error {
 public:
  enum class Code {
    badRequest,          // the request could not be decoded, or a value is out of range
    unsupportedVersion,  // the request's version is newer than the receiver's
    unknownCommand,      // the command text is no known command
    unknownProject,      // no project matches the given name
    archivedProject,     // the project is archived and cannot be tracked
    notTracking,         // the command needs a running session and none runs
    sessionNotFound,     // no session has the given id
    alreadyTracking,     // the command needs that nothing runs
    nothingToResume,     // no session may be resumed
    invalid,             // the store refused; the message is the store's
    failed,              // any other failure, unreadable replies and socket failures included
    notRunning,          // the application is not running (raised by the client transport)
    timedOut,            // no answer in time, or the application was too busy
  };

  ControlError() = default;
  ControlError(Code c, std::string m) : code(c), message(std::move(m)) {}

  [[nodiscard]] std::string description() const override { return message; }
  bool operator==(const ControlError& other) const { return code == other.code && message == other.message; }

  static constexpr auto wireFields() {
    return std::tuple{WireField{"code", &ControlError::code}, WireField{"message", &ControlError::message}};
  }

  Code code = Code::failed;
  std::string message;
};

inline constexpr std::array<std::pair<ControlError::Code, std::string_view>, 13> kControlErrorCodeTexts{{
    {ControlError::Code::badRequest, "bad_request"},
    {ControlError::Code::unsupportedVersion, "unsupported_version"},
    {ControlError::Code::unknownCommand, "unknown_command"},
    {ControlError::Code::unknownProject, "unknown_project"},
    {ControlError::Code::archivedProject, "archived_project"},
    {ControlError::Code::notTracking, "not_tracking"},
    {ControlError::Code::sessionNotFound, "session_not_found"},
    {ControlError::Code::alreadyTracking, "already_tracking"},
    {ControlError::Code::nothingToResume, "nothing_to_resume"},
    {ControlError::Code::invalid, "invalid"},
    {ControlError::Code::failed, "failed"},
    {ControlError::Code::notRunning, "not_running"},
    {ControlError::Code::timedOut, "timed_out"},
}};

template <>
struct WireEnum<ControlError::Code> {
  static constexpr const auto& texts = kControlErrorCodeTexts;
};

inline void PrintTo(const ControlError& error, std::ostream* os) {
  *os << "ControlError(" << rawValue(error.code) << ", \"" << error.message << "\")";
}

}  // namespace lumetra
