#include "actions/ReportActions.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "csv/CSVExporter.hpp"
#include "platform/Numbers.hpp"
#include "report/ReportPeriod.hpp"

namespace lumetra {

namespace {

ControlError badRequest(const std::string& message) { return {ControlError::Code::badRequest, message}; }

// The one grammar of ranges, for the export, the report and the window alike.
ReportPeriod period(const std::string& label, Instant now, const Calendar& calendar) {
  if (auto found = ReportPeriod::parse(label, now, calendar)) return *found;
  if (ReportPeriod::reversed(label)) throw badRequest(curlyQuoted(label) + ": FROM is after TO.");
  throw badRequest(curlyQuoted(label) + " isn't a range. Use All Time, Today, Yesterday, This Week, Last Week, This "
                   "Month, Last Month, This Year, Last Year, a day YYYY-MM-DD or days FROM..TO.");
}

}  // namespace

ExportFile ReportActions::exportCSV(const ExportRequest& request, Instant now) {
  const ReportPeriod range = period(request.range.value_or("All Time"), now, calendar_);
  std::map<std::int64_t, Project> projects;
  for (auto& project : store_.projects(true)) projects.emplace(project.id, std::move(project));
  return {CSVExporter::csv(store_.sessions(std::nullopt, range.from, range.to), projects, store_.sourceIds(), now,
                           calendar_)};
}

Report ReportActions::report(const ReportRequest& request, Instant now) {
  const Calendar& calendar = calendar_;
  const std::string label = request.range.value_or("This Week");
  const auto found = period(label, now, calendar);
  const auto* period = &found;
  const std::string by = request.by.value_or("project");
  const auto grouping = by == "day" ? ReportGrouping::day : by == "week" ? ReportGrouping::week : ReportGrouping::project;
  if (grouping == ReportGrouping::project && by != "project") throw badRequest("“by” must be project, day or week.");

  std::optional<std::vector<std::int64_t>> only;
  if (request.projects) {
    only.emplace();
    const auto projects = store_.projects(true);
    for (const auto& name : *request.projects) only->push_back(ControlHandler::findProject(projects, name, "report").id);
  }
  // All Time runs from the first session to now.
  Report report;
  report.range = period->label;
  report.by = by;
  report.from = period->from.value_or(std::min(store_.firstStart().value_or(now), now));
  report.to = period->to.value_or(now);
  report.firstDay = dayLabel(report.from, calendar);
  report.lastDay = dayLabel(report.to - 1.0, calendar);
  if (const auto count = ReportBucket::count(grouping, report.from, report.to, calendar); count > maxBuckets) {
    const std::string unit = grouping == ReportGrouping::day ? "days" : "weeks";
    throw badRequest("That's " + Numbers::grouped(static_cast<std::int64_t>(count)) + " " + unit + "; a report shows at most " +
                     Numbers::grouped(maxBuckets) + ". Choose a shorter range" +
                     (grouping == ReportGrouping::day ? ", or --by week." : "."));
  }
  const auto buckets = ReportBucket::of(grouping, period->label, report.from, report.to, calendar);
  std::vector<std::pair<Instant, Instant>> spans;
  for (const auto& bucket : buckets) spans.emplace_back(bucket.from, bucket.to);
  const auto totals = store_.periodTotals(spans, only, now);

  std::map<std::int64_t, std::string> names;
  for (const auto& project : store_.projects(true)) names.emplace(project.id, project.name);
  // Whole seconds per group and project, and every sum made of those, so the totals add up.
  std::vector<std::vector<std::pair<std::int64_t, const PeriodTotal*>>> bySpan(buckets.size());
  for (const auto& total : totals) {
    const auto seconds = static_cast<std::int64_t>(std::llround(total.seconds));
    // A session started a moment ago still shows, as running for 0m.
    if (seconds > 0 || total.running) bySpan[total.span].emplace_back(seconds, &total);
  }
  std::map<std::int64_t, ReportShare> perProject;
  for (std::size_t b = 0; b < buckets.size(); ++b) {
    auto& rows = bySpan[b];
    if (rows.empty()) continue;
    std::stable_sort(rows.begin(), rows.end(), [](const auto& x, const auto& y) { return x.first > y.first; });
    ReportGroup group;
    group.label = buckets[b].label;
    group.from = buckets[b].from;
    group.to = buckets[b].to;
    for (const auto& [seconds, total] : rows) {
      group.projects.push_back({names[total->projectId], seconds, total->running, 0});
      group.seconds += seconds;
      ReportShare& share = perProject[total->projectId];
      share.project = names[total->projectId];
      share.seconds += seconds;
      share.running = share.running || total->running;
      report.running = report.running || total->running;
    }
    // Whole percents that add up to 100: the largest remainders get the spare points.
    std::vector<std::pair<double, std::size_t>> remainders;
    std::int64_t given = 0;
    for (std::size_t i = 0; i < group.projects.size(); ++i) {
      const double exact = group.seconds > 0 ? 100.0 * static_cast<double>(group.projects[i].seconds) /
                                                   static_cast<double>(group.seconds)
                                             : 0.0;
      group.projects[i].percent = static_cast<std::int64_t>(exact);
      remainders.emplace_back(-(exact - static_cast<double>(group.projects[i].percent)), i);
      given += group.projects[i].percent;
    }
    std::sort(remainders.begin(), remainders.end());
    for (std::size_t i = 0; group.seconds > 0 && given < 100 && i < remainders.size(); ++i, ++given) {
      ++group.projects[remainders[i].second].percent;
    }
    report.seconds += group.seconds;
    report.groups.push_back(std::move(group));
  }
  for (auto& [id, share] : perProject) {
    share.share = report.seconds > 0 ? static_cast<double>(share.seconds) / static_cast<double>(report.seconds) : 0.0;
    report.projects.push_back(std::move(share));
  }
  std::stable_sort(report.projects.begin(), report.projects.end(),
                   [](const ReportShare& a, const ReportShare& b) { return a.seconds > b.seconds; });
  return report;
}

}  // namespace lumetra
