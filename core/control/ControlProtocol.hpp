#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Calendar.hpp"
#include "platform/Instant.hpp"
#include "platform/Timestamp.hpp"

namespace lumetra::ControlProtocol {

// Written into every request; a receiver refuses requests of a later version.
inline constexpr std::int64_t version = 1;
// File name of the control socket inside the data directory.
inline constexpr std::string_view socketName = "lumetra.sock";
// Longest request line, in bytes, that a server reads.
inline constexpr std::size_t maxRequestSize = 16 * 1024 * 1024;

// The socket's location in a data directory: the directory, "/", then socketName.
[[nodiscard]] std::filesystem::path socketURL(const std::filesystem::path& dataDirectory);

// Instants on the wire: Timestamp's ISO 8601 texts.
[[nodiscard]] inline std::string formatTimestamp(Instant instant) { return Timestamp::format(instant); }
[[nodiscard]] inline std::string formatTimestamp(Instant instant, const Calendar& zone) {
  return Timestamp::format(instant, zone);
}
[[nodiscard]] inline std::optional<Instant> parseTimestamp(std::string_view text) { return Timestamp::parse(text); }

}  // namespace lumetra::ControlProtocol
