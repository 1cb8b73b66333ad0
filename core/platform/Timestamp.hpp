#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Calendar.hpp"
#include "platform/Instant.hpp"

// ISO 8601 internet date-times, as the wire, the CSV files and date arguments write them.
namespace lumetra::Timestamp {

// An instant as ISO 8601 internet date-time text with whole seconds, in the process's current
// time zone: "2024-05-01T09:30:00+02:00", or "…Z" at a zero offset.
[[nodiscard]] std::string format(Instant instant);
// The same in the zone of the given calendar.
[[nodiscard]] std::string format(Instant instant, const Calendar& zone);

// Reads "2024-05-01T09:30:00+02:00", "2024-05-01T07:30:00Z" or the same with a fraction of a
// second. The zone designator is required and decides the offset. Nothing for any other text.
[[nodiscard]] std::optional<Instant> parse(std::string_view text);

}  // namespace lumetra::Timestamp
