#pragma once

#include <array>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/WireField.hpp"
#include "platform/Calendar.hpp"
#include "platform/Instant.hpp"

namespace lumetra {

// The periods an export can cover; each one's raw value is its label.
enum class ExportRange { allTime, today, thisWeek, lastWeek, thisMonth, lastMonth };

inline constexpr std::array<std::pair<ExportRange, std::string_view>, 6> kExportRangeLabels{{
    {ExportRange::allTime, "All Time"},
    {ExportRange::today, "Today"},
    {ExportRange::thisWeek, "This Week"},
    {ExportRange::lastWeek, "Last Week"},
    {ExportRange::thisMonth, "This Month"},
    {ExportRange::lastMonth, "Last Month"},
}};

template <>
struct WireEnum<ExportRange> {
  static constexpr const auto& texts = kExportRangeLabels;
};

struct ExportBounds {
  std::optional<Instant> from;  // the period's first instant
  std::optional<Instant> to;    // the next period's first instant
  bool operator==(const ExportBounds&) const = default;
};

// The half-open period [from, to) of the range around `now`, by the calendar's days, weeks
// (with its locale's first weekday) and months. All Time has no bounds.
[[nodiscard]] ExportBounds bounds(ExportRange range, Instant now, const Calendar& calendar);

}  // namespace lumetra
