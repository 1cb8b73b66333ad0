#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Calendar.hpp"
#include "platform/LazyCache.hpp"

namespace lumetra {

// A fixed-pattern date formatter and parser with the locale "en_US_POSIX" (ASCII digits, the
// 24-hour clock, whatever the user's region) in a calendar's time zone. Parsing is strict:
// the text must match the pattern and name a real time. Built on first use.
class DateFormat {
 public:
  DateFormat(std::string pattern, Calendar calendar);
  DateFormat(const DateFormat&);
  DateFormat& operator=(const DateFormat&);
  DateFormat(DateFormat&&) noexcept;
  DateFormat& operator=(DateFormat&&) noexcept;
  ~DateFormat();

  [[nodiscard]] std::string format(Instant instant) const;
  // The instant the text names, or nullopt when the whole text doesn't match the pattern.
  [[nodiscard]] std::optional<Instant> parse(std::string_view text) const;

  [[nodiscard]] const std::string& pattern() const noexcept { return pattern_; }

 private:
  struct Impl;
  Impl& impl() const;

  std::string pattern_;
  Calendar calendar_;
  LazyCache<Impl> impl_;
};

}  // namespace lumetra
