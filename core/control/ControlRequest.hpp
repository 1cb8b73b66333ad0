#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

#include "control/ControlCommand.hpp"
#include "control/ControlProtocol.hpp"
#include "platform/WireField.hpp"
#include "platform/Instant.hpp"

namespace lumetra {

// One request of the control protocol. `command` is text so that a request with a command
// this receiver doesn't know still decodes (and is answered with unknownCommand).
// Absent fields are left out of the JSON.
struct ControlRequest {
  std::int64_t version = ControlProtocol::version;
  std::string command;
  std::optional<std::string> project;          // start: project to track; sessions: filter
  std::optional<std::string> description;      // start, describe (empty removes it)
  std::optional<std::int64_t> sessionId;       // describe; absent means the running session
  std::optional<Instant> since;                // sessions: inclusive lower bound
  std::optional<Instant> until;                // sessions: exclusive upper bound
  std::optional<std::int64_t> limit;           // sessions: how many of the latest
  std::optional<bool> includeArchived;         // projects
  std::optional<std::string> csv;              // import: the whole file
  std::optional<bool> dryRun;                  // import
  std::optional<bool> allowOverlaps;           // import

  ControlRequest() = default;
  explicit ControlRequest(ControlCommand c) : command(rawValue(c)) {}

  bool operator==(const ControlRequest&) const = default;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = ControlRequest;
    return std::tuple{WireField{"version", &R::version},
                      WireField{"command", &R::command},
                      WireField{"project", &R::project},
                      WireField{"description", &R::description},
                      WireField{"session_id", &R::sessionId},
                      WireField{"since", &R::since},
                      WireField{"until", &R::until},
                      WireField{"limit", &R::limit},
                      WireField{"include_archived", &R::includeArchived},
                      WireField{"csv", &R::csv},
                      WireField{"dry_run", &R::dryRun},
                      WireField{"allow_overlaps", &R::allowOverlaps}};
  }
};

}  // namespace lumetra
