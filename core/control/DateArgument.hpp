#pragma once

#include <optional>
#include <string_view>

#include "platform/Calendar.hpp"
#include "platform/Instant.hpp"

// The dates people give the tool and the MCP tools for a range of sessions.
namespace lumetra::DateArgument {

// YYYY-MM-DD, "today" or "yesterday" (the start of that day, or of the day after when
// `endOfDay`), or an ISO 8601 time with zone (returned unchanged); nullopt for anything else,
// including a day the calendar doesn't have.
[[nodiscard]] std::optional<Instant> parse(std::string_view text, Instant now, const Calendar& calendar,
                                           bool endOfDay);

}  // namespace lumetra::DateArgument
