#include "csv/ExportRange.hpp"

namespace lumetra {

ExportBounds bounds(ExportRange range, Instant now, const Calendar& calendar) {
  switch (range) {
    case ExportRange::allTime:
      return {};
    case ExportRange::today: {
      const Instant from = calendar.startOfDay(now);
      return {from, calendar.startOfDay(calendar.addingDays(from, 1))};
    }
    case ExportRange::thisWeek:
    case ExportRange::lastWeek: {
      const Instant reference = range == ExportRange::lastWeek ? calendar.addingWeeks(now, -1) : now;
      const Instant from = calendar.startOfWeek(reference);
      return {from, calendar.startOfWeek(calendar.addingWeeks(from, 1))};
    }
    case ExportRange::thisMonth:
    case ExportRange::lastMonth: {
      const Instant reference = range == ExportRange::lastMonth ? calendar.addingMonths(now, -1) : now;
      const Instant from = calendar.startOfMonth(reference);
      return {from, calendar.startOfMonth(calendar.addingMonths(from, 1))};
    }
  }
  return {};
}

}  // namespace lumetra
