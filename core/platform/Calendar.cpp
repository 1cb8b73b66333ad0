#include "platform/Calendar.hpp"

#include <unicode/calendar.h>
#include <unicode/basictz.h>
#include <unicode/gregocal.h>
#include <unicode/tztrans.h>
#include <unicode/timezone.h>

#include <limits>
#include <stdexcept>

namespace lumetra {

namespace {

constexpr double kMillis = 1000.0;

std::unique_ptr<icu::Calendar> makeCalendar(const std::string& zoneId, bool defaultZone, const std::string& locale) {
  UErrorCode status = U_ZERO_ERROR;
  icu::TimeZone* zone = defaultZone ? icu::TimeZone::createDefault()
                                    : icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(zoneId));
  // The Gregorian calendar always: dates on the wire and in files are ISO 8601 days.
  auto calendar = std::make_unique<icu::GregorianCalendar>(
      zone, locale.empty() ? icu::Locale::getDefault() : icu::Locale(locale.c_str()), status);
  if (U_FAILURE(status)) throw std::runtime_error(std::string("ICU calendar: ") + u_errorName(status));
  // A day that begins inside a skipped hour begins at the first valid time after it.
  calendar->setSkippedWallTimeOption(UCAL_WALLTIME_NEXT_VALID);
  // A wall-clock time that occurs twice means its first occurrence.
  calendar->setRepeatedWallTimeOption(UCAL_WALLTIME_FIRST);
  return calendar;
}

void toMidnight(icu::Calendar& c) {
  c.set(UCAL_HOUR_OF_DAY, 0);
  c.set(UCAL_MINUTE, 0);
  c.set(UCAL_SECOND, 0);
  c.set(UCAL_MILLISECOND, 0);
}

}  // namespace

struct Calendar::Impl {
  std::unique_ptr<icu::Calendar> calendar;

  icu::Calendar& at(Instant instant) {
    UErrorCode status = U_ZERO_ERROR;
    calendar->setTime(instant.seconds * kMillis, status);
    return *calendar;
  }
  int field(UCalendarDateFields f) {
    UErrorCode status = U_ZERO_ERROR;
    return calendar->get(f, status);
  }
  Instant time() {
    UErrorCode status = U_ZERO_ERROR;
    return Instant(calendar->getTime(status) / kMillis);
  }
};

Calendar Calendar::current() { return Calendar(std::string(), true); }

Calendar Calendar::current(std::string locale) { return Calendar(std::string(), true, std::move(locale)); }

Calendar::Calendar(std::string timeZoneId) : Calendar(std::move(timeZoneId), false) {}

Calendar::Calendar(std::string timeZoneId, bool useDefaultZone, std::string locale)
    : zoneId_(std::move(timeZoneId)), defaultZone_(useDefaultZone), locale_(std::move(locale)) {}

Calendar::Calendar(const Calendar&) = default;
Calendar& Calendar::operator=(const Calendar&) = default;
Calendar::Calendar(Calendar&&) noexcept = default;
Calendar& Calendar::operator=(Calendar&&) noexcept = default;
Calendar::~Calendar() = default;

Calendar::Impl& Calendar::impl() const {
  return impl_.get([&] { return Impl{makeCalendar(zoneId_, defaultZone_, locale_)}; });
}

void Calendar::prepare() const { (void)impl(); }

void* Calendar::icuCalendar() const { return impl().calendar.get(); }

std::string Calendar::timeZoneId() const {
  icu::UnicodeString id;
  impl().calendar->getTimeZone().getID(id);
  std::string out;
  id.toUTF8String(out);
  return out;
}

bool Calendar::mayChangeBetween(Instant from, Instant to) const {
  const auto* zone = dynamic_cast<const icu::BasicTimeZone*>(&impl().calendar->getTimeZone());
  icu::TimeZoneTransition next;
  if (!zone) return true;
  if (!zone->getNextTransition(from.seconds * kMillis, true, next)) return false;
  return next.getTime() < to.seconds * kMillis;
}

Calendar::DateParts Calendar::parts(Instant instant) const {
  auto& i = impl();
  i.at(instant);
  return DateParts{i.field(UCAL_EXTENDED_YEAR), i.field(UCAL_MONTH) + 1, i.field(UCAL_DATE),
                   i.field(UCAL_HOUR_OF_DAY),   i.field(UCAL_MINUTE),    i.field(UCAL_SECOND)};
}

Instant Calendar::startOfDay(Instant instant) const {
  auto& i = impl();
  toMidnight(i.at(instant));
  return i.time();
}

Instant Calendar::addingDays(Instant instant, int days) const {
  auto& i = impl();
  UErrorCode status = U_ZERO_ERROR;
  i.at(instant).add(UCAL_DATE, days, status);
  return i.time();
}

std::optional<Instant> Calendar::startOfDay(long long year, long long month, long long day) const {
  constexpr long long kMax = std::numeric_limits<int>::max() / 2;
  if (year < -kMax || year > kMax || month < -kMax || month > kMax || day < -kMax || day > kMax) {
    return std::nullopt;
  }
  auto& i = impl();
  auto& c = *i.calendar;
  c.clear();
  c.set(UCAL_EXTENDED_YEAR, static_cast<int>(year));
  c.set(UCAL_MONTH, static_cast<int>(month - 1));
  c.set(UCAL_DATE, static_cast<int>(day));
  UErrorCode status = U_ZERO_ERROR;
  const UDate millis = c.getTime(status);
  if (U_FAILURE(status)) return std::nullopt;
  const Instant start(millis / kMillis);
  const DateParts back = parts(start);
  if (back.year != year || back.month != month || back.day != day) return std::nullopt;
  return start;
}

std::optional<Instant> Calendar::instant(const DateParts& parts) const {
  auto& c = *impl().calendar;
  c.clear();
  c.set(UCAL_EXTENDED_YEAR, parts.year);
  c.set(UCAL_MONTH, parts.month - 1);
  c.set(UCAL_DATE, parts.day);
  c.set(UCAL_HOUR_OF_DAY, parts.hour);
  c.set(UCAL_MINUTE, parts.minute);
  c.set(UCAL_SECOND, parts.second);
  UErrorCode status = U_ZERO_ERROR;
  const UDate millis = c.getTime(status);
  if (U_FAILURE(status)) return std::nullopt;
  const Instant result(millis / kMillis);
  if (this->parts(result) != parts) return std::nullopt;
  return result;
}

bool Calendar::isSameDay(Instant a, Instant b) const {
  const DateParts pa = parts(a), pb = parts(b);
  return pa.year == pb.year && pa.month == pb.month && pa.day == pb.day;
}

int Calendar::utcOffsetSeconds(Instant instant) const {
  auto& i = impl();
  i.at(instant);
  return (i.field(UCAL_ZONE_OFFSET) + i.field(UCAL_DST_OFFSET)) / 1000;
}

Instant Calendar::addingWeeks(Instant instant, int weeks) const {
  auto& i = impl();
  UErrorCode status = U_ZERO_ERROR;
  i.at(instant).add(UCAL_WEEK_OF_YEAR, weeks, status);
  return i.time();
}

Instant Calendar::addingMonths(Instant instant, int months) const {
  auto& i = impl();
  UErrorCode status = U_ZERO_ERROR;
  i.at(instant).add(UCAL_MONTH, months, status);
  return i.time();
}

Instant Calendar::startOfWeek(Instant instant) const {
  const Instant day = startOfDay(instant);
  auto& i = impl();
  i.at(day);
  // Back to the locale's first weekday: the days since it, modulo a week.
  const int back = (i.field(UCAL_DAY_OF_WEEK) - i.calendar->getFirstDayOfWeek() + 7) % 7;
  return startOfDay(addingDays(day, -back));
}

Instant Calendar::startOfMonth(Instant instant) const {
  auto& i = impl();
  auto& c = i.at(instant);
  c.set(UCAL_DATE, 1);
  toMidnight(c);
  return i.time();
}

int Calendar::firstWeekday() const { return impl().calendar->getFirstDayOfWeek(); }

}  // namespace lumetra
