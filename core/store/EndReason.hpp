#pragma once

#include <array>
#include <string_view>
#include <utility>

#include "platform/WireField.hpp"

namespace lumetra {

// Why a session ended; stored as its text.
enum class EndReason {
  manual,     // the user stopped tracking
  switched,   // tracking moved to another project or description
  idle,       // stopped after idle time
  asleep,     // stopped because the computer slept
  recovered,  // found open when tracking restarted, and closed
  quit,       // the application quit while tracking
  archived,   // the running session's project was archived or deleted
  added,      // entered by hand
  split,      // the first part of a split session
  merged,     // the result of a merge of hand-entered or imported sessions
  imported,   // created by a CSV import
};

inline constexpr std::array<std::pair<EndReason, std::string_view>, 11> kEndReasonTexts{{
    {EndReason::manual, "manual"},
    {EndReason::switched, "switched"},
    {EndReason::idle, "idle"},
    {EndReason::asleep, "asleep"},
    {EndReason::recovered, "recovered"},
    {EndReason::quit, "quit"},
    {EndReason::archived, "archived"},
    {EndReason::added, "added"},
    {EndReason::split, "split"},
    {EndReason::merged, "merged"},
    {EndReason::imported, "imported"},
}};

template <>
struct WireEnum<EndReason> {
  static constexpr const auto& texts = kEndReasonTexts;
};

}  // namespace lumetra
