#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Calendar.hpp"
#include "platform/Instant.hpp"

namespace lumetra::ControlProtocol {

// Written into every request; a receiver refuses requests of a later version.
inline constexpr std::int64_t version = 1;
// File name of the control socket inside the data directory.
inline constexpr std::string_view socketName = "lumetra.sock";
// Longest request line, in bytes, that a server reads.
inline constexpr std::size_t maxRequestSize = 16 * 1024 * 1024;

// The socket's location in a data directory: the directory, "/", then socketName.
[[nodiscard]] std::filesystem::path socketURL(const std::filesystem::path& dataDirectory);

// An instant as ISO 8601 internet date-time text with whole seconds, in the process's current
// time zone: "2024-05-01T09:30:00+02:00", or "…Z" at a zero offset.
[[nodiscard]] std::string formatTimestamp(Instant instant);
// The same in the zone of the given calendar.
[[nodiscard]] std::string formatTimestamp(Instant instant, const Calendar& zone);

// Reads "2024-05-01T09:30:00+02:00", "2024-05-01T07:30:00Z" or the same with a fraction of a
// second. The zone designator is required and decides the offset. Nothing for any other text.
[[nodiscard]] std::optional<Instant> parseTimestamp(std::string_view text);

}  // namespace lumetra::ControlProtocol
