#pragma once

#include <optional>
#include <string_view>

namespace lumetra::IdleTime {

// Seconds since the user's last keyboard or pointer input, from the first of the desktop's
// sources that answers: GNOME's idle monitor (Wayland and X11), the freedesktop screen saver
// (KDE and others), X11's screen-saver extension, then logind's idle hint. The source that
// answered is asked first from then on; when it stops answering, all are asked again. Nothing
// when none answers (no desktop, for one). Call from one thread only.
[[nodiscard]] std::optional<double> seconds();

// The source that answered last ("GNOME's idle monitor"), or nothing.
[[nodiscard]] std::optional<std::string_view> source();

}  // namespace lumetra::IdleTime
