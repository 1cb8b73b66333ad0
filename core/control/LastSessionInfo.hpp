#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"
#include "platform/Instant.hpp"

namespace lumetra {

// The last tracked session, while it can still be resumed.
struct LastSessionInfo {
  std::int64_t id = 0;
  std::int64_t projectId = 0;
  std::string project;
  std::optional<std::string> description;
  Instant start;
  Instant end;
  Instant resumableUntil;  // the last moment at which resume still takes it


  bool operator==(const LastSessionInfo&) const = default;

  static constexpr auto wireFields() {
    using R = LastSessionInfo;
    return std::tuple{WireField{"id", &R::id},
                      WireField{"project_id", &R::projectId},
                      WireField{"project", &R::project},
                      WireField{"description", &R::description},
                      WireField{"start", &R::start},
                      WireField{"end", &R::end},
                      WireField{"resumable_until", &R::resumableUntil}};
  }
};

}  // namespace lumetra
