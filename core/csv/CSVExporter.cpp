#include "csv/CSVExporter.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/Timestamp.hpp"
#include "store/Store.hpp"

namespace lumetra::CSVExporter {

namespace {

std::string printed(const char* format, auto... values) {
  char text[64];
  const int length = std::snprintf(text, sizeof text, format, values...);
  return std::string(text, static_cast<std::size_t>(std::max(length, 0)));
}

void twoDigits(std::string& out, int value) {
  out += static_cast<char>('0' + value / 10);
  out += static_cast<char>('0' + value % 10);
}

// Local days and times for many instants in order: a day without a clock change is looked up in
// the calendar once, and its times are counted from its start. Days with a change go to the
// calendar time by time.
class LocalDays {
 public:
  explicit LocalDays(const Calendar& zone) : zone_(zone) {}

  // "yyyy-MM-dd" of the instant's day.
  std::string day(Instant whole) {
    const Day& d = dayOf(whole);
    return d.text;
  }
  // "yyyy-MM-dd HH:mm:ss", as timestamp() writes it.
  std::string time(Instant whole) {
    const Day& d = dayOf(whole);
    if (!d.plain) return timestamp(whole, zone_);
    const auto seconds = static_cast<int>(whole - d.start);
    std::string out = d.text;
    out += ' ';
    twoDigits(out, seconds / 3600);
    out += ':';
    twoDigits(out, seconds / 60 % 60);
    out += ':';
    twoDigits(out, seconds % 60);
    return out;
  }

 private:
  struct Day {
    Instant start, end;
    std::string text;
    bool plain = false;  // no clock change within it
  };

  const Day& dayOf(Instant whole) {
    if (last_.plain && whole >= last_.start && whole < last_.end) return last_;
    const auto p = zone_.parts(whole);
    last_.text = printed("%04d-%02d-%02d", p.year, p.month, p.day);
    const auto start = zone_.instant({p.year, p.month, p.day, 0, 0, 0});
    last_.plain = start && !zone_.mayChangeBetween(*start, *start + 86400) && whole >= *start && whole < *start + 86400;
    last_.start = start.value_or(whole);
    last_.end = last_.start + 86400;
    return last_;
  }

  const Calendar& zone_;
  Day last_;
};

}  // namespace

std::string formatDuration(double seconds) {
  const auto total = static_cast<long long>(std::round(std::max(seconds, 0.0)));
  return printed("%lld:%02lld:%02lld", total / 3600, (total % 3600) / 60, total % 60);
}

std::string entry(const WorkSession& session) { return std::string(session.entry()); }

std::string timestamp(Instant instant, const Calendar& timeZone) {
  const Instant whole(std::floor(instant.seconds));
  const auto p = timeZone.parts(whole);
  // Written as local time, unless that text reads back as the other occurrence of a repeated hour.
  if (timeZone.instant(p) == whole) {
    return printed("%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
  }
  return Timestamp::format(whole, timeZone);
}

std::string field(std::string_view value) {
  if (value.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(value);
  std::string out = "\"";
  for (const char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string formulaGuarded(std::string_view value) {
  if (!Store::startsLikeFormula(value)) return std::string(value);
  std::string guarded(1, '\'');
  guarded += value;
  return guarded;
}

std::string csv(const std::vector<WorkSession>& sessions, const std::map<std::int64_t, Project>& projects,
                const std::map<std::int64_t, std::string>& sourceIds, Instant now, const Calendar& timeZone) {
  std::string out;
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (i > 0) out += ',';
    out += field(header[i]);
  }
  out += "\r\n";

  std::vector<const WorkSession*> ordered;
  ordered.reserve(sessions.size());
  for (const auto& session : sessions) ordered.push_back(&session);
  std::stable_sort(ordered.begin(), ordered.end(), [](const WorkSession* a, const WorkSession* b) {
    return a->start < b->start || (a->start == b->start && a->id < b->id);
  });

  LocalDays starts(timeZone), ends(timeZone);
  for (const WorkSession* session : ordered) {
    const double duration = session->duration(now);
    const auto project = projects.find(session->projectId);
    const auto source = sourceIds.find(session->id);
    const Instant start(std::floor(session->start.seconds));
    const std::string values[] = {
        formulaGuarded(project != projects.end() ? project->second.name
                                                 : "Project " + std::to_string(session->projectId)),
        starts.day(start),
        starts.time(start),
        session->end ? ends.time(Instant(std::floor(session->end->seconds))) : "in progress",
        formatDuration(duration),
        printed("%.4f", duration / 3600),
        entry(*session),
        formulaGuarded(session->description.value_or("")),
        std::string(rawValue(session->times)),
        formulaGuarded(source != sourceIds.end() ? source->second : ""),
    };
    for (std::size_t i = 0; i < std::size(values); ++i) {
      if (i > 0) out += ',';
      out += field(values[i]);
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace lumetra::CSVExporter
