#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"
#include "control/LastSessionInfo.hpp"
#include "control/ProjectTotal.hpp"
#include "control/SessionInfo.hpp"

namespace lumetra {

// The result of status: what runs, the day's totals, and what resume would take.
struct StatusResult {
  std::optional<SessionInfo> current;          // null when nothing runs
  std::string date;                            // the day the totals cover, "yyyy-MM-dd"
  std::int64_t todaySeconds = 0;
  std::vector<ProjectTotal> today;
  std::optional<LastSessionInfo> lastSession;  // always null while something runs

  bool operator==(const StatusResult&) const = default;

  static constexpr auto wireFields() {
    using R = StatusResult;
    return std::tuple{WireField{"current", &R::current},
                      WireField{"date", &R::date},
                      WireField{"today_seconds", &R::todaySeconds},
                      WireField{"today", &R::today},
                      WireField{"last_session", &R::lastSession}};
  }
};

}  // namespace lumetra
