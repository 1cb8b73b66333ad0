#pragma once

#include <memory>
#include <optional>
#include <string_view>

struct sd_bus;

namespace lumetra {

// Seconds since the user's last keyboard or pointer input, from the first of the desktop's
// sources that answers: GNOME's idle monitor (Wayland and X11), the freedesktop screen saver
// (KDE and others), X11's screen-saver extension, then logind's idle hint. The source that
// answered is asked first from then on; when it stops answering, all are asked again. Lives on
// the thread that owns the desktop's bus connections, and asks over them.
class IdleTime {
 public:
  // The connections may be null where there is no such bus; X11 is opened on first use.
  IdleTime(sd_bus* session, sd_bus* system);
  ~IdleTime();
  IdleTime(const IdleTime&) = delete;
  IdleTime& operator=(const IdleTime&) = delete;

  // After a connection was opened again.
  void reconnect(sd_bus* session, sd_bus* system);
  // Nothing when no source answers (no desktop, for one).
  [[nodiscard]] std::optional<double> seconds();
  // The source that answered last ("GNOME's idle monitor"), or nothing.
  [[nodiscard]] std::optional<std::string_view> source() const;

 private:
  struct Sources;
  std::unique_ptr<Sources> sources_;
};

}  // namespace lumetra
