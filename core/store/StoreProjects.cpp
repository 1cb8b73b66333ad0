#include <cmath>
#include <limits>

#include "platform/Numbers.hpp"
#include "store/Row.hpp"
#include "store/Store.hpp"

namespace lumetra {

namespace {

constexpr const char* kIdleTimeoutKey = "idle_timeout";

Project projectFrom(const Row& row) {
  return Project{row.integer("id"), row.optionalText("name").value_or(""), row.integer("archived") != 0,
                 Instant(row.optionalDouble("created_at").value_or(0))};
}

// A name as stored: trimmed, not empty, and not formula-like unless `current` already is it.
std::string checkedName(std::string_view name, const std::optional<std::string>& current = std::nullopt) {
  std::string trimmed = Store::trimmed(name);
  if (trimmed.empty()) throw StoreError(StoreError::Case::emptyName);
  if (Store::startsLikeFormula(trimmed) && !(current && *current == trimmed)) {
    throw StoreError::leadingFormulaCharacter(StoreError::Field::projectName);
  }
  return trimmed;
}

}  // namespace

Project Store::createProject(std::string_view name, Instant now) {
  const std::string trimmed = checkedName(name);
  try {
    db_.query("INSERT INTO projects (name, archived, created_at) VALUES (?, 0, ?)", {trimmed, now});
  } catch (const DatabaseError& error) {
    if (error.kind() == DatabaseError::Case::constraint) throw StoreError::duplicateName(trimmed);
    throw;
  }
  return Project{db_.lastInsertRowId(), trimmed, false, now};
}

void Store::renameProject(std::int64_t id, std::string_view to) {
  // Only a formula-like name needs the current one: a project may keep a name it already has.
  std::optional<std::string> current;
  if (const std::string candidate = trimmed(to); !candidate.empty() && startsLikeFormula(candidate)) {
    if (auto existing = project(id)) current = existing->name;
  }
  const std::string trimmed = checkedName(to, current);
  try {
    db_.query("UPDATE projects SET name = ? WHERE id = ?", {trimmed, id});
  } catch (const DatabaseError& error) {
    if (error.kind() == DatabaseError::Case::constraint) throw StoreError::duplicateName(trimmed);
    throw;
  }
}

void Store::setArchived(std::int64_t id, bool archived) {
  db_.query("UPDATE projects SET archived = ? WHERE id = ?", {archived ? 1 : 0, id});
}

void Store::deleteProject(std::int64_t id) { db_.query("DELETE FROM projects WHERE id = ?", {id}); }

std::optional<Project> Store::project(std::int64_t id) {
  const auto rows = db_.query("SELECT * FROM projects WHERE id = ?", {id});
  if (rows.empty()) return std::nullopt;
  return projectFrom(rows.front());
}

std::vector<Project> Store::projects(bool includeArchived) {
  const auto rows = db_.query(includeArchived ? "SELECT * FROM projects ORDER BY name COLLATE NOCASE"
                                              : "SELECT * FROM projects WHERE archived = 0 ORDER BY name COLLATE NOCASE");
  std::vector<Project> projects;
  projects.reserve(rows.size());
  for (const auto& row : rows) projects.push_back(projectFrom(row));
  return projects;
}

std::optional<std::string> Store::setting(const std::string& key) {
  const auto rows = db_.query("SELECT value FROM settings WHERE key = ?", {key});
  if (rows.empty()) return std::nullopt;
  return rows.front().optionalText("value");
}

void Store::setSetting(const std::string& key, const std::string& value) {
  db_.query(
      "INSERT INTO settings (key, value) VALUES (?, ?) ON CONFLICT(key) DO UPDATE SET value = excluded.value",
      {key, value});
}

bool Store::reclaimSpace(Instant now) {
  constexpr double kDay = 86400;
  const auto last = Numbers::decimal(setting("reclaimed_at").value_or("0")).value_or(0);
  if (now.seconds - last < kDay) return false;
  const auto pages = db_.query("PRAGMA page_count").front().integer("page_count");
  const auto free = db_.query("PRAGMA freelist_count").front().integer("freelist_count");
  if (pages < 256 || free * 2 <= pages) return false;
  try {
    db_.exec("VACUUM");
  } catch (const DatabaseError&) {
    return false;
  }
  setSetting("reclaimed_at", shortestDecimal(now.seconds));
  return true;
}

double Store::idleTimeout() {
  const auto text = setting(kIdleTimeoutKey);
  if (!text) return defaultIdleTimeout;
  if (*text == "off") return std::numeric_limits<double>::infinity();
  const auto seconds = Numbers::decimal(*text);
  return seconds && *seconds > 0 ? *seconds : defaultIdleTimeout;
}

void Store::setIdleTimeout(double seconds) {
  setSetting(kIdleTimeoutKey, std::isinf(seconds) ? std::string("off") : shortestDecimal(seconds));
}

}  // namespace lumetra
