// Report ranges as typed after `lumetra-app report`, around any moment in a few zones whose
// days aren't all 24 hours (one skips a whole day). A range's buckets are never more than
// counted beforehand (a skipped day is counted, not made), in order, without gaps, inside it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "report/ReportPeriod.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lumetra;
  if (size < 6) return 0;
  static const Calendar zones[] = {Calendar("Europe/Berlin"), Calendar("Pacific/Apia"), Calendar("Australia/Lord_Howe"),
                                   Calendar("America/Santiago"), Calendar("UTC")};
  const Calendar& calendar = zones[data[0] % std::size(zones)];
  const auto grouping = static_cast<ReportGrouping>(data[1] % 3);
  std::uint32_t seconds = 0;
  std::memcpy(&seconds, data + 2, sizeof seconds);
  // Any moment from 1970 to 2106.
  const Instant now = Instant(static_cast<double>(seconds));
  const std::string_view range(reinterpret_cast<const char*>(data + 6), size - 6);
  const auto period = ReportPeriod::parse(range, now, calendar);
  if (!period) return 0;
  const Instant from = period->from.value_or(now - 86400.0 * 400), to = period->to.value_or(now);
  if (!(from < to)) __builtin_trap();
  const std::size_t count = ReportBucket::count(grouping, from, to, calendar);
  if (count > 5000) return 0;
  const auto buckets = ReportBucket::of(grouping, period->label, from, to, calendar);
  if (buckets.empty() || buckets.size() > count || count - buckets.size() > 1 || buckets.front().from != from || buckets.back().to != to) __builtin_trap();
  for (std::size_t i = 0; i < buckets.size(); ++i) {
    if (!(buckets[i].from < buckets[i].to)) __builtin_trap();
    if (i > 0 && buckets[i].from != buckets[i - 1].to) __builtin_trap();
  }
  return 0;
}
