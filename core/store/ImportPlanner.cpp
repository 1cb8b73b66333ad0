// Planning a CSV import against what is stored.
#include "store/ImportPlanner.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <unordered_map>

#include "platform/UnicodeText.hpp"
#include "store/Store.hpp"

namespace lumetra {

namespace {

// The project a row names: exact, then ignoring ASCII case, then without the apostrophe the
// export puts before a formula-like name.
const Project* importMatch(const std::vector<Project>& projects, const std::string& name) {
  for (const auto& project : projects) {
    if (project.name == name) return &project;
  }
  const std::string folded = Store::foldedName(name);
  for (const auto& project : projects) {
    if (Store::foldedName(project.name) == folded) return &project;
  }
  if (name.starts_with("'") && Store::startsLikeFormula(std::string_view(name).substr(1))) {
    for (const auto& project : projects) {
      if (project.name == std::string_view(name).substr(1)) return &project;
    }
  }
  return nullptr;
}

std::int64_t rounded(double seconds) { return static_cast<std::int64_t>(std::round(seconds)); }

std::vector<ImportOverlap> importOverlaps(const ImportPlanner::Stored& store, const std::vector<ImportPlan>& plans,
                                          Instant now) {
  std::vector<ImportOverlap> overlaps;
  if (plans.empty()) return overlaps;

  Instant earliest = plans.front().row.start, latest = plans.front().row.end;
  for (const auto& plan : plans) {
    earliest = std::min(earliest, plan.row.start);
    latest = std::max(latest, plan.row.end);
  }
  std::unordered_map<std::int64_t, const std::string*> names;
  for (const auto& project : store.projects) names.emplace(project.id, &project.name);

  // Against the store. Sessions come sorted by start; with the running maximum of their ends,
  // the walk back from the first one starting at or after a plan's end stops as soon as no
  // earlier session can reach the plan's start.
  const auto stored = store.overlapping(earliest, latest);
  std::vector<Instant> reach(stored.size());
  for (std::size_t i = 0; i < stored.size(); ++i) {
    const Instant end = stored[i].end.value_or(now);
    reach[i] = i == 0 ? end : std::max(reach[i - 1], end);
  }
  for (const auto& plan : plans) {
    const auto after = std::lower_bound(stored.begin(), stored.end(), plan.row.end,
                                        [](const WorkSession& s, Instant end) { return s.start < end; });
    std::vector<ImportOverlap> found;
    for (auto j = static_cast<std::size_t>(after - stored.begin()); j-- > 0 && reach[j] > plan.row.start;) {
      const WorkSession& session = stored[j];
      if (session.end.value_or(now) > plan.row.start) {
        const auto name = names.find(session.projectId);
        found.push_back(ImportOverlap{plan.row.line, std::nullopt, session.id,
                                      name == names.end() ? "?" : *name->second, session.start, session.end});
      }
    }
    overlaps.insert(overlaps.end(), found.rbegin(), found.rend());
  }

  // Within the file: each plan against the earlier one (by start, then line) that reaches furthest.
  std::vector<const ImportPlan*> byStart;
  byStart.reserve(plans.size());
  for (const auto& plan : plans) byStart.push_back(&plan);
  std::stable_sort(byStart.begin(), byStart.end(), [](const ImportPlan* a, const ImportPlan* b) {
    return a->row.start < b->row.start || (a->row.start == b->row.start && a->row.line < b->row.line);
  });
  const ImportPlan* furthest = nullptr;
  for (const ImportPlan* plan : byStart) {
    if (furthest && plan->row.start < furthest->row.end) {
      overlaps.push_back(ImportOverlap{plan->row.line, furthest->row.line, std::nullopt, furthest->projectName(),
                                       furthest->row.start, furthest->row.end});
    }
    if (!furthest || plan->row.end > furthest->row.end) furthest = plan;
  }

  std::stable_sort(overlaps.begin(), overlaps.end(), [](const ImportOverlap& a, const ImportOverlap& b) {
    if (a.line != b.line) return a.line < b.line;
    return a.otherLine.value_or(0) < b.otherLine.value_or(0);
  });
  return overlaps;
}

ImportReport report(bool dryRun, bool allowOverlaps, const std::vector<ImportPlan>& plans, std::int64_t skipped,
                    std::vector<ImportOverlap> overlaps, std::vector<ImportProblem> problems) {
  ImportReport report;
  report.dryRun = dryRun;
  report.allowOverlaps = allowOverlaps;
  report.sessions = static_cast<std::int64_t>(plans.size());
  report.skipped = skipped;
  double seconds = 0;
  std::vector<std::pair<ImportProjectTotal, double>> groups;
  std::unordered_map<std::string, std::size_t> groupOf;  // name → index in groups
  for (const auto& plan : plans) {
    seconds += plan.duration();
    if (plan.row.times == SessionTimes::approximate) ++report.approximateSessions;
    if (plan.row.times == SessionTimes::placeholder) ++report.placeholderSessions;
    const auto [slot, first] = groupOf.try_emplace(plan.projectName(), groups.size());
    if (first) {
      const auto* existing = std::get_if<Project>(&plan.project);
      groups.push_back({ImportProjectTotal{plan.projectName(), !existing, existing && existing->archived, 0, 0}, 0});
    }
    auto& group = groups[slot->second];
    ++group.first.sessions;
    group.second += plan.duration();
  }
  report.seconds = rounded(seconds);
  for (auto& [total, groupSeconds] : groups) {
    total.seconds = rounded(groupSeconds);
    report.projects.push_back(std::move(total));
  }
  const UnicodeText::LocalizedOrder order;
  std::stable_sort(report.projects.begin(), report.projects.end(),
                   [&](const ImportProjectTotal& a, const ImportProjectTotal& b) { return order(a.project, b.project); });
  report.overlaps = std::move(overlaps);
  report.problems = std::move(problems);
  return report;
}

}  // namespace

ImportPlanner::Outcome ImportPlanner::plan(ImportFile file, bool allowOverlaps, bool dryRun, const Stored& stored,
                                           Instant now) {
  const auto& projects = stored.projects;
  std::vector<ImportProblem> problems = std::move(file.problems);
  std::map<std::string, std::int64_t> seenSources;  // source ID → line
  std::map<std::string, std::string> newProjects;   // folded name → name as first written
  // What each name as written resolved to: once a name has been seen, its answer doesn't change.
  struct Resolution {
    std::optional<ImportPlan::ProjectRef> reference;
    std::optional<std::string> problem;
  };
  std::unordered_map<std::string, Resolution> resolved;
  const auto resolve = [&](const std::string& name) {
    Resolution r;
    if (name.empty()) {
      r.problem = StoreError(StoreError::Case::emptyName).description();
    } else if (const Project* existing = importMatch(projects, name)) {
      r.reference = *existing;
    } else if (const auto earlier = newProjects.find(Store::foldedName(name)); earlier != newProjects.end()) {
      r.reference = ImportPlan::NewProject{earlier->second};
    } else if (Store::startsLikeFormula(name)) {
      r.problem = StoreError::leadingFormulaCharacter(StoreError::Field::projectName).description();
    } else {
      newProjects.emplace(Store::foldedName(name), name);
      r.reference = ImportPlan::NewProject{name};
    }
    return r;
  };
  std::int64_t skipped = 0;
  std::vector<ImportPlan> plans;
  plans.reserve(file.rows.size());

  for (auto& row : file.rows) {
    std::vector<std::string> messages;
    std::optional<std::string> sourceId;
    if (row.sourceId) {
      const std::string id = Store::trimmed(*row.sourceId);
      if (!id.empty()) {
        if (const auto seen = seenSources.find(id); seen != seenSources.end()) {
          problems.push_back({row.line, "The source ID “" + id + "” is also on line " + std::to_string(seen->second) + "."});
          continue;
        }
        seenSources.emplace(id, row.line);
        if (stored.sourceImported(id)) {
          ++skipped;
          continue;
        }
        if (Store::startsLikeFormula(id)) {
          messages.push_back(StoreError::leadingFormulaCharacter(StoreError::Field::sourceId).description());
        }
        sourceId = id;
      }
    }

    const std::string name = Store::trimmed(row.project);
    auto found = resolved.find(name);
    if (found == resolved.end()) found = resolved.emplace(name, resolve(name)).first;
    const Resolution& resolution = found->second;
    if (resolution.problem) messages.push_back(*resolution.problem);

    std::optional<std::string> description;
    try {
      description = Store::validDescription(row.description);
    } catch (const StoreError& error) {
      messages.push_back(error.description());
    }

    if (!(row.end > row.start)) {
      messages.push_back(StoreError(StoreError::Case::endBeforeStart).description());
    } else if (row.end > now) {
      messages.push_back(StoreError(StoreError::Case::inFuture).description());
    }

    if (!messages.empty()) {
      for (auto& message : messages) problems.push_back({row.line, std::move(message)});
      continue;
    }
    plans.push_back(ImportPlan{std::move(row), *resolution.reference, std::move(description), std::move(sourceId)});
  }

  auto overlaps = importOverlaps(stored, plans, now);
  std::stable_sort(problems.begin(), problems.end(),
                   [](const ImportProblem& a, const ImportProblem& b) { return a.line < b.line; });
  ImportReport result = report(dryRun, allowOverlaps, plans, skipped, std::move(overlaps), std::move(problems));

  return {std::move(plans), std::move(result)};
}

}  // namespace lumetra
