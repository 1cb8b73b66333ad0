#include "store/ImportBatch.hpp"

#include <algorithm>
#include <cmath>

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

bool byLine(const ImportProblem& a, const ImportProblem& b) { return a.line < b.line; }

}  // namespace

ImportBatch::ImportBatch(Store& store, bool allowOverlaps, bool dryRun, Instant now)
    : store_(store),
      db_(store.db_),
      transaction_(store.db_),
      allowOverlaps_(allowOverlaps),
      dryRun_(dryRun),
      now_(now),
      writing_(!dryRun),
      projects_(store.projects(true)) {
  const auto bounds = db_.query("SELECT max(id) AS last, max(end_at - start_at) AS longest FROM sessions").front();
  lastStoredId_ = bounds.integer("last");
  longestStored_ = bounds.optionalDouble("longest").value_or(0);
}

ImportBatch::~ImportBatch() { dropScratch(); }

// The statements go before the scratch table they may use.
void ImportBatch::dropScratch() noexcept {
  insertSession_.reset(), insertSource_.reset(), sourceSeen_.reset(), rememberSource_.reset(), findSource_.reset();
  db_.execNoThrow("DROP TABLE IF EXISTS temp.import_sources");
}

ImportBatch::Resolution ImportBatch::resolve(const std::string& name) {
  Resolution r;
  if (name.empty()) {
    r.problem = StoreError(StoreError::Case::emptyName).description();
  } else if (const Project* existing = importMatch(projects_, name)) {
    auto [slot, added] = targetOfProject_.try_emplace(existing->id, targets_.size());
    if (added) targets_.push_back(Target{existing->name, existing->id, false, existing->archived});
    r.target = slot->second;
  } else if (const auto earlier = targetOfNewName_.find(Store::foldedName(name)); earlier != targetOfNewName_.end()) {
    r.target = earlier->second;
  } else if (Store::startsLikeFormula(name)) {
    r.problem = StoreError::leadingFormulaCharacter(StoreError::Field::projectName).description();
  } else {
    targetOfNewName_.emplace(Store::foldedName(name), targets_.size());
    r.target = targets_.size();
    targets_.push_back(Target{name, std::nullopt, true, false});
  }
  return r;
}

// Source IDs seen in this file live in a scratch table, not in memory: a file may hold millions.
std::optional<std::int64_t> ImportBatch::earlierSource(const std::string& id, std::int64_t line) {
  if (!rememberSource_) {
    db_.exec("CREATE TEMP TABLE IF NOT EXISTS import_sources (source_id TEXT PRIMARY KEY, line INTEGER NOT NULL) "
             "WITHOUT ROWID;\nDELETE FROM temp.import_sources");
    rememberSource_.emplace(db_, "INSERT OR IGNORE INTO temp.import_sources (source_id, line) VALUES (?, ?)");
    sourceSeen_.emplace(db_, "SELECT line FROM temp.import_sources WHERE source_id = ?");
  }
  rememberSource_->run({id, line});
  if (db_.changes() > 0) return std::nullopt;
  return sourceSeen_->rows({id}).front().integer("line");
}

bool ImportBatch::importedBefore(const std::string& id) {
  if (!findSource_) findSource_.emplace(db_, "SELECT 1 FROM session_sources WHERE source_id = ? LIMIT 1");
  return !findSource_->rows({id}).empty();
}

void ImportBatch::add(ImportRow&& row) {
  std::vector<std::string> messages;
  std::optional<std::string> sourceId;
  if (row.sourceId) {
    std::string id = Store::trimmed(*row.sourceId);
    if (!id.empty()) {
      if (const auto line = earlierSource(id, row.line)) {
        problems_.push_back({row.line, "The source ID “" + id + "” is also on line " + std::to_string(*line) + "."});
        return;
      }
      if (importedBefore(id)) {
        ++skipped_;
        return;
      }
      if (Store::startsLikeFormula(id)) {
        messages.push_back(StoreError::leadingFormulaCharacter(StoreError::Field::sourceId).description());
      }
      sourceId = std::move(id);
    }
  }

  const std::string name = Store::trimmed(row.project);
  auto found = resolved_.find(name);
  if (found == resolved_.end()) found = resolved_.emplace(name, resolve(name)).first;
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
  } else if (row.end > now_) {
    messages.push_back(StoreError(StoreError::Case::inFuture).description());
  }
  if (!messages.empty()) {
    for (auto& message : messages) problems_.push_back({row.line, std::move(message)});
    writing_ = false;
    return;
  }

  Target& target = targets_[*resolution.target];
  if (target.firstRow < 0) target.firstRow = static_cast<std::int64_t>(planned_.size());
  ++target.sessions;
  target.seconds += row.end - row.start;
  if (row.times == SessionTimes::approximate) ++approximate_;
  if (row.times == SessionTimes::placeholder) ++placeholder_;
  planned_.push_back(Planned{row.start, row.end, row.line, *resolution.target});
  if (writing_) write(row, target, description, sourceId);
}

void ImportBatch::write(const ImportRow& row, Target& target, const std::optional<std::string>& description,
                        const std::optional<std::string>& sourceId) {
  if (!target.projectId) target.projectId = store_.createProject(target.name, now_).id;
  if (!insertSession_) {
    insertSession_.emplace(db_,
                           "INSERT INTO sessions (project_id, start_at, end_at, last_active_at, end_reason, "
                           "description,\n                      times)\nVALUES (?, ?, ?, ?, ?, ?, ?)");
    insertSource_.emplace(db_, "INSERT INTO session_sources (source_id, session_id) VALUES (?, ?)");
  }
  insertSession_->run({*target.projectId, row.start, row.end, row.end, "imported", description,
                       std::string(rawValue(row.times))});
  if (sourceId) insertSource_->run({*sourceId, db_.lastInsertRowId()});
}

// Against the stored sessions, then within the file; by line, a row's stored overlaps (oldest
// first) before those with earlier rows.
std::vector<ImportOverlap> ImportBatch::overlaps() {
  std::vector<ImportOverlap> found;
  if (planned_.empty()) return found;
  std::sort(planned_.begin(), planned_.end(), [](const Planned& a, const Planned& b) {
    return a.start < b.start || (a.start == b.start && a.line < b.line);
  });
  Instant latest = planned_.front().end;
  for (const auto& plan : planned_) latest = std::max(latest, plan.end);
  std::unordered_map<std::int64_t, const std::string*> names;
  for (const auto& project : projects_) names.emplace(project.id, &project.name);

  // Stored sessions come by start, and only those that may still reach a row are held: with the
  // running maximum of their ends, the walk back from the first one starting at or after a
  // row's end stops as soon as no earlier one can reach the row's start. The open session ends
  // now; a second of slack absorbs rounding in the subtraction.
  struct Stored {
    std::int64_t id, projectId;
    Instant start;
    std::optional<Instant> end;
    Instant reach;  // the latest end of this one and every one held before it
  };
  Database::Statement stored(db_,
                             "SELECT id, project_id, start_at, end_at FROM sessions WHERE id <= ? AND start_at >= ? "
                             "AND start_at < ? AND end_at > ?\nUNION ALL\nSELECT id, project_id, start_at, end_at FROM "
                             "sessions WHERE id <= ? AND end_at IS NULL AND start_at < ? AND ? > ?\nORDER BY start_at, id");
  const Instant earliest = planned_.front().start - longestStored_ - 1;
  stored.start({lastStoredId_, earliest, latest, earliest, lastStoredId_, latest, now_, earliest});
  std::vector<Stored> held;
  std::size_t dead = 0;  // held ones before it end before every row still to come
  std::optional<Row> ahead = stored.next();
  std::vector<ImportOverlap> rowOverlaps;
  for (const auto& plan : planned_) {
    for (; ahead && Instant(ahead->optionalDouble("start_at").value_or(0)) < plan.end; ahead = stored.next()) {
      Stored s{ahead->integer("id"), ahead->integer("project_id"), Instant(ahead->optionalDouble("start_at").value_or(0)),
               std::nullopt, {}};
      if (const auto end = ahead->optionalDouble("end_at")) s.end = Instant(*end);
      s.reach = std::max(s.end.value_or(now_), held.empty() ? s.end.value_or(now_) : held.back().reach);
      held.push_back(s);
    }
    while (dead < held.size() && held[dead].reach <= plan.start) ++dead;
    if (dead > 4096 && dead * 2 > held.size()) {
      held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(dead));
      dead = 0;
      for (std::size_t i = 0; i < held.size(); ++i) {
        held[i].reach = std::max(held[i].end.value_or(now_), i == 0 ? held[i].end.value_or(now_) : held[i - 1].reach);
      }
    }
    const auto after = std::lower_bound(held.begin() + static_cast<std::ptrdiff_t>(dead), held.end(), plan.end,
                                        [](const Stored& s, Instant end) { return s.start < end; });
    rowOverlaps.clear();
    for (auto j = static_cast<std::size_t>(after - held.begin()); j-- > dead && held[j].reach > plan.start;) {
      const Stored& s = held[j];
      if (s.end.value_or(now_) > plan.start) {
        const auto name = names.find(s.projectId);
        rowOverlaps.push_back(
            ImportOverlap{plan.line, std::nullopt, s.id, name == names.end() ? "?" : *name->second, s.start, s.end});
      }
    }
    found.insert(found.end(), rowOverlaps.rbegin(), rowOverlaps.rend());
  }

  // Within the file: each row against the earlier one (by start, then line) that reaches furthest.
  const Planned* furthest = nullptr;
  for (const auto& plan : planned_) {
    if (furthest && plan.start < furthest->end) {
      found.push_back(ImportOverlap{plan.line, furthest->line, std::nullopt, targets_[furthest->target].name,
                                    furthest->start, furthest->end});
    }
    if (!furthest || plan.end > furthest->end) furthest = &plan;
  }
  std::stable_sort(found.begin(), found.end(), [](const ImportOverlap& a, const ImportOverlap& b) {
    if (a.line != b.line) return a.line < b.line;
    return a.otherLine.value_or(0) < b.otherLine.value_or(0);
  });
  return found;
}

std::vector<ImportProjectTotal> ImportBatch::totals() {
  std::vector<const Target*> used;
  for (const auto& target : targets_) {
    if (target.sessions > 0) used.push_back(&target);
  }
  std::sort(used.begin(), used.end(), [](const Target* a, const Target* b) { return a->firstRow < b->firstRow; });
  std::vector<ImportProjectTotal> totals;
  for (const Target* target : used) {
    totals.push_back({target->name, target->isNew, target->archived, target->sessions, rounded(target->seconds)});
  }
  const UnicodeText::LocalizedOrder order;
  std::stable_sort(totals.begin(), totals.end(),
                   [&](const ImportProjectTotal& a, const ImportProjectTotal& b) { return order(a.project, b.project); });
  return totals;
}

ImportReport ImportBatch::finish(std::vector<ImportProblem> fileProblems) {
  ImportReport report;
  report.dryRun = dryRun_;
  report.allowOverlaps = allowOverlaps_;
  report.sessions = static_cast<std::int64_t>(planned_.size());
  report.skipped = skipped_;
  report.approximateSessions = approximate_;
  report.placeholderSessions = placeholder_;
  double seconds = 0;
  for (const auto& plan : planned_) seconds += plan.end - plan.start;
  report.seconds = rounded(seconds);
  report.projects = totals();
  report.overlaps = overlaps();
  std::vector<Planned>().swap(planned_);
  report.problems = std::move(fileProblems);
  report.problems.insert(report.problems.end(), std::make_move_iterator(problems_.begin()),
                         std::make_move_iterator(problems_.end()));
  std::stable_sort(report.problems.begin(), report.problems.end(), byLine);
  if (!dryRun_ && report.canImport()) {
    dropScratch();
    transaction_.commit();
    report.imported = true;
  }
  return report;
}

}  // namespace lumetra
