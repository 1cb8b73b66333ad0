#pragma once

#include <array>
#include <string>
#include <string_view>

namespace lumetra::PlatformWording {

// The few fixed sentences that send a person to places only a Mac has. On macOS they stand as
// written; elsewhere just these words change.
struct Replacement {
  std::string_view mac, elsewhere;
};
inline constexpr std::array<Replacement, 6> kReplacements{{
    {"No projects. Create one in Lumetra with New Project…", "No projects. Create one with lumetra-app project add NAME."},
    {"Lumetra isn't running. Open it and try again.", "Lumetra isn't running. Start it with lumetra-app and try again."},
    {"Unarchive it in Lumetra (Manage Projects) to track it.",
     "Unarchive it with lumetra-app project unarchive to track it."},
    {"Reopen the menu and try again.", "List the sessions again and try again."},
    {"a menu bar time tracker on this Mac", "a time tracker on this computer"},
    {"on this Mac", "on this computer"},
}};

#ifdef __APPLE__
inline constexpr bool kOnMac = true;
#else
inline constexpr bool kOnMac = false;
#endif

// The text as a Mac words it, in this platform's words (or in a Mac's when `onMac`). The
// replacements apply in the order above, each to every place it occurs.
[[nodiscard]] std::string worded(std::string_view macText, bool onMac = kOnMac);

}  // namespace lumetra::PlatformWording
