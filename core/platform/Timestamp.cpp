#include "platform/Timestamp.hpp"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace lumetra::Timestamp {

namespace {

std::string timestampText(const Calendar::DateParts& p, int offsetSeconds) {
  char text[64];
  int written = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                              p.minute, p.second);
  std::string out(text, static_cast<std::size_t>(written));
  if (offsetSeconds == 0) return out + "Z";
  const char sign = offsetSeconds < 0 ? '-' : '+';
  const int magnitude = std::abs(offsetSeconds) / 60;
  written = std::snprintf(text, sizeof text, "%c%02d:%02d", sign, magnitude / 60, magnitude % 60);
  return out + std::string(text, static_cast<std::size_t>(written));
}

// Digits at text[at, at+count), as a number; nullopt unless all are ASCII digits.
std::optional<int> digits(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string format(Instant instant) {
  // The process's own zone through the C library: no calendar needs loading for it.
  const std::time_t whole = static_cast<std::time_t>(std::floor(instant.seconds));
  std::tm local{};
  localtime_r(&whole, &local);
  const Calendar::DateParts parts{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                  local.tm_hour,        local.tm_min,     local.tm_sec};
  return timestampText(parts, static_cast<int>(local.tm_gmtoff));
}

std::string format(Instant instant, const Calendar& zone) {
  const Instant whole(std::floor(instant.seconds));
  return timestampText(zone.parts(whole), zone.utcOffsetSeconds(whole));
}

std::optional<Instant> parse(std::string_view text) {
  // yyyy-MM-ddTHH:mm:ss, then an optional fraction, then Z or ±HH:mm.
  if (text.size() < 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  const auto year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
  const auto hour = digits(text, 11, 2), minute = digits(text, 14, 2), second = digits(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  if (*hour > 23 || *minute > 59 || *second > 59) return std::nullopt;

  std::size_t at = 19;
  double fraction = 0;
  if (text[at] == '.') {
    const std::size_t first = ++at;
    double scale = 0.1;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      fraction += (text[at] - '0') * scale;
      scale /= 10;
      ++at;
    }
    if (at == first) return std::nullopt;
  }
  if (at >= text.size()) return std::nullopt;

  int offset = 0;
  if (text[at] == 'Z') {
    ++at;
  } else if (text[at] == '+' || text[at] == '-') {
    const auto offsetHours = digits(text, at + 1, 2), offsetMinutes = digits(text, at + 4, 2);
    if (!offsetHours || !offsetMinutes || at + 3 >= text.size() || text[at + 3] != ':' || *offsetHours > 23 ||
        *offsetMinutes > 59) {
      return std::nullopt;
    }
    offset = (*offsetHours * 3600 + *offsetMinutes * 60) * (text[at] == '-' ? -1 : 1);
    at += 6;
  } else {
    return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;

  using namespace std::chrono;
  const year_month_day date{std::chrono::year(*year), std::chrono::month(static_cast<unsigned>(*month)),
                            std::chrono::day(static_cast<unsigned>(*day))};
  if (!date.ok()) return std::nullopt;
  const auto days = sys_days(date).time_since_epoch().count();
  const double seconds = static_cast<double>(days) * 86400.0 + *hour * 3600 + *minute * 60 + *second - offset;
  return Instant(seconds + fraction);
}

}  // namespace lumetra::Timestamp
