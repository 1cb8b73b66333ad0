#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Instant.hpp"
#include "platform/LazyCache.hpp"

namespace lumetra {

// A Gregorian calendar in one time zone, backed by ICU. ICU is loaded on first use, so a
// process that never needs a date never pays for it. Not safe for concurrent use: give each
// thread its own copy.
class Calendar {
 public:
  struct DateParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const DateParts&) const = default;
  };

  // The user's calendar: the process's current time zone and the locale's week rules.
  static Calendar current();
  // The process's zone with the week rules of the named locale ("de_DE", "en_US").
  static Calendar current(std::string locale);
  // A calendar in the named IANA zone (for example "Europe/Berlin"). An unknown name gives UTC,
  // as ICU does.
  explicit Calendar(std::string timeZoneId);

  Calendar(const Calendar&);
  Calendar& operator=(const Calendar&);
  Calendar(Calendar&&) noexcept;
  Calendar& operator=(Calendar&&) noexcept;
  ~Calendar();

  // Loads the zone and the calendar rules now rather than on first use. The loading is mostly
  // process-wide, so a copy made afterwards builds its own quickly.
  void prepare() const;

  // The zone's IANA identifier.
  [[nodiscard]] std::string timeZoneId() const;

  [[nodiscard]] DateParts parts(Instant instant) const;
  // The first instant of the calendar day that holds `instant`.
  [[nodiscard]] Instant startOfDay(Instant instant) const;
  // The same wall-clock time `days` calendar days later (earlier when negative).
  [[nodiscard]] Instant addingDays(Instant instant, int days) const;
  // The first instant of the given day, or nullopt when the numbers name no such day
  // (2024-02-30, month 13): the day is accepted only if it converts back to the same numbers.
  [[nodiscard]] std::optional<Instant> startOfDay(long long year, long long month, long long day) const;
  [[nodiscard]] bool isSameDay(Instant a, Instant b) const;
  // The instant of a wall-clock time, or nullopt when it names none (a field out of range, or a
  // time skipped by a clock change): it must convert back to the same fields. In an hour that
  // occurs twice, the first occurrence.
  [[nodiscard]] std::optional<Instant> instant(const DateParts& parts) const;
  // Whether the zone's rules may change anything in [from, to): true at a clock change, and
  // whenever the zone can't tell.
  [[nodiscard]] bool mayChangeBetween(Instant from, Instant to) const;
  // The zone's offset from UTC at `instant`, in seconds.
  [[nodiscard]] int utcOffsetSeconds(Instant instant) const;
  // The same wall-clock time whole weeks or months later; a day past the month's end becomes its
  // last day (March 31 minus a month is February's last day).
  [[nodiscard]] Instant addingWeeks(Instant instant, int weeks) const;
  [[nodiscard]] Instant addingMonths(Instant instant, int months) const;
  // The first instant of the calendar week (by the locale's first weekday) or month holding it.
  [[nodiscard]] Instant startOfWeek(Instant instant) const;
  [[nodiscard]] Instant startOfMonth(Instant instant) const;
  // The first day of the week in the user's locale: 1 = Sunday … 7 = Saturday.
  [[nodiscard]] int firstWeekday() const;

  // The ICU calendar behind this one (an icu::Calendar*), for formatters in this layer only.
  [[nodiscard]] void* icuCalendar() const;

 private:
  struct Impl;
  Calendar(std::string timeZoneId, bool useDefaultZone, std::string locale = {});
  Impl& impl() const;

  std::string zoneId_;
  bool defaultZone_ = false;
  std::string locale_;  // empty: the process's default locale
  LazyCache<Impl> impl_;
};

}  // namespace lumetra
