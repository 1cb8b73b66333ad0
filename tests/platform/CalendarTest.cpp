// Calendar arithmetic where it goes wrong: clock changes, week starts by locale, month ends.
#include "platform/Calendar.hpp"
#include "platform/DateFormat.hpp"

#include <gtest/gtest.h>

#include "support/TestSupport.hpp"

namespace lumetra {
namespace {

const Calendar berlin(test::kTestTimeZone);

// A wall-clock time in the test zone (unlike test::localTime, which counts hours from midnight).
Instant localTime(int year, int month, int day, int hour, int minute) {
  return *berlin.instant({year, month, day, hour, minute, 0});
}

// Given days around Europe/Berlin's clock changes, expect calendar days, not 24-hour steps.
TEST(CalendarTest, DaysAcrossClockChanges) {
  struct Case {
    Instant from;
    int days;
    Instant startOfDay, added;
  };
  const Case cases[] = {
      // 2024-03-31 has 23 hours, 2024-10-27 has 25.
      {localTime(2024, 3, 31, 12, 0), 1, localTime(2024, 3, 31, 0, 0), localTime(2024, 4, 1, 12, 0)},
      {localTime(2024, 3, 31, 1, 30), 1, localTime(2024, 3, 31, 0, 0), localTime(2024, 4, 1, 1, 30)},
      {localTime(2024, 10, 27, 23, 0), -1, localTime(2024, 10, 27, 0, 0), localTime(2024, 10, 26, 23, 0)},
      {localTime(2024, 10, 26, 12, 0), 2, localTime(2024, 10, 26, 0, 0), localTime(2024, 10, 28, 12, 0)},
      {localTime(2024, 12, 31, 23, 59), 1, localTime(2024, 12, 31, 0, 0), localTime(2025, 1, 1, 23, 59)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from.seconds);
    EXPECT_EQ(berlin.startOfDay(c.from), c.startOfDay);
    EXPECT_EQ(berlin.addingDays(c.from, c.days), c.added);
  }
  EXPECT_EQ(berlin.addingDays(localTime(2024, 3, 31, 0, 0), 1) - localTime(2024, 3, 31, 0, 0), 23 * 3600.0);
  EXPECT_EQ(berlin.addingDays(localTime(2024, 10, 27, 0, 0), 1) - localTime(2024, 10, 27, 0, 0), 25 * 3600.0);
  EXPECT_EQ(berlin.utcOffsetSeconds(localTime(2024, 3, 31, 1, 0)), 3600);
  EXPECT_EQ(berlin.utcOffsetSeconds(localTime(2024, 3, 31, 3, 0)), 7200);
  EXPECT_TRUE(berlin.mayChangeBetween(localTime(2024, 10, 27, 0, 0), localTime(2024, 10, 28, 0, 0)));
  EXPECT_FALSE(berlin.mayChangeBetween(localTime(2024, 10, 28, 0, 0), localTime(2024, 10, 29, 0, 0)));
  EXPECT_FALSE(Calendar("UTC").mayChangeBetween(Instant(0), Instant(1e10)));
  EXPECT_EQ(berlin.startOfDay(2024, 2, 30), std::nullopt);
  EXPECT_EQ(berlin.startOfDay(2024, 2, 29), localTime(2024, 2, 29, 0, 0));
}

// Given the same instants, expect weeks to start on the locale's first weekday, across month
// and year boundaries, and months to clamp at their ends.
TEST(CalendarTest, WeeksByLocaleAndMonthEnds) {
  const Calendar us = Calendar::current("en_US"), german = Calendar::current("de_DE");
  EXPECT_EQ(us.firstWeekday(), 1);
  EXPECT_EQ(german.firstWeekday(), 2);
  // Wednesday 2025-01-01: the US week began on Sunday 2024-12-29, the German one on Monday 12-30.
  EXPECT_EQ(us.startOfWeek(localTime(2025, 1, 1, 9, 0)), localTime(2024, 12, 29, 0, 0));
  EXPECT_EQ(german.startOfWeek(localTime(2025, 1, 1, 9, 0)), localTime(2024, 12, 30, 0, 0));
  // Sunday itself: the first day of a US week, the last of a German one.
  EXPECT_EQ(us.startOfWeek(localTime(2024, 3, 31, 22, 0)), localTime(2024, 3, 31, 0, 0));
  EXPECT_EQ(german.startOfWeek(localTime(2024, 3, 31, 22, 0)), localTime(2024, 3, 25, 0, 0));
  // A week across the clock change is still seven calendar days.
  EXPECT_EQ(german.addingWeeks(localTime(2024, 3, 25, 0, 0), 1), localTime(2024, 4, 1, 0, 0));
  EXPECT_EQ(german.startOfMonth(localTime(2024, 3, 31, 23, 30)), localTime(2024, 3, 1, 0, 0));
  EXPECT_EQ(german.addingMonths(localTime(2024, 1, 31, 10, 0), 1), localTime(2024, 2, 29, 10, 0));
  EXPECT_EQ(german.addingMonths(localTime(2024, 12, 15, 10, 0), 1), localTime(2025, 1, 15, 10, 0));
}

// Given numeric patterns, which are written out from the calendar's fields, expect ICU's own
// formatting: a quoted literal sends the same pattern through ICU for comparison.
TEST(CalendarTest, NumericPatternsFormatAsICUDoes) {
  const Calendar zones[] = {berlin, Calendar("America/St_Johns"), Calendar("Asia/Kathmandu"), Calendar("UTC")};
  const Instant instants[] = {localTime(2024, 3, 31, 1, 59), localTime(2024, 3, 31, 3, 0),
                              localTime(2024, 10, 27, 2, 30) + 3600, Instant(-1.5), Instant(253402300799.0),
                              Instant(1e6 + 0.999), Instant(-62200000000.0)};
  for (const auto& zone : zones) {
    for (const char* pattern : {"yyyy-MM-dd HH:mm:ss", "HH:mm", "yyyy-MM-dd"}) {
      const DateFormat ours(pattern, zone), icu(std::string(pattern) + "''", zone);
      for (const auto instant : instants) EXPECT_EQ(ours.format(instant) + "'", icu.format(instant)) << pattern;
    }
  }
}

}  // namespace
}  // namespace lumetra
