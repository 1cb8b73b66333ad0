#include "sync/SyncMerge.hpp"

#include <algorithm>
#include <tuple>

#include "control/WireCoding.hpp"
#include "sync/SyncSchema.hpp"

namespace lumetra {

namespace {

constexpr std::size_t groupIndex(SyncGroup group) {
  for (std::size_t i = 0; i < kSyncGroupTexts.size(); ++i) {
    if (kSyncGroupTexts[i].first == group) return i;
  }
  return 0;
}

std::string columns() {
  std::string list = "gid, kind, made_s, made_a, made_at";
  for (const auto& [group, name] : kSyncGroupTexts) {
    const std::string n(name);
    list += ", " + n + "_s, " + n + "_a, " + n + "_v";
    if (group == SyncGroup::name) list += ", name_c";
  }
  return list;
}

std::string placeholders(std::size_t count) {
  std::string list = "?";
  for (std::size_t i = 1; i < count; ++i) list += ", ?";
  return list;
}

constexpr std::size_t kColumnCount = 5 + 3 * 7 + 1;

std::string text(const JSON& value) { return value.is_string() ? value.get<std::string>() : std::string(); }

// A stored text value: a row id needs no parser.
std::string textOf(const std::string& json) {
  if (json.size() >= 2 && json.front() == '"' && json.back() == '"' && json.find('\\') == std::string::npos) {
    return json.substr(1, json.size() - 2);
  }
  return text(WireCoding::parse(json));
}

}  // namespace

struct SyncMerge::Statements {
  explicit Statements(Database& db)
      : selectRow(db, "SELECT " + columns() + " FROM sync_rows WHERE gid = ?"),
        replaceRow(db, "INSERT OR REPLACE INTO sync_rows (" + columns() + ") VALUES (" + placeholders(kColumnCount) + ")"),
        selectAlias(db, "SELECT canonical FROM sync_alias WHERE gid = ?"),
        localId(db, "SELECT local_id FROM sync_ids WHERE kind = ? AND gid = ?"),
        gidOf(db, "SELECT gid FROM sync_ids WHERE kind = ? AND local_id = ?"),
        source(db, "INSERT INTO sync_sources (source_id, gid, stamp, author) VALUES (?, ?, ?, ?) "
                   "ON CONFLICT (source_id, gid) DO UPDATE SET stamp = excluded.stamp, author = excluded.author "
                   "WHERE (excluded.stamp, excluded.author) > (stamp, author)"),
        session(db, "SELECT project_id, start_at, end_at, last_active_at, end_reason, edited, description, times "
                    "FROM sessions WHERE id = ?"),
        insertSession(db, "INSERT INTO sessions (project_id, start_at, end_at, last_active_at, end_reason, edited, "
                          "description, times) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
        updateSession(db, "UPDATE sessions SET project_id = ?, start_at = ?, end_at = ?, last_active_at = ?, "
                          "end_reason = ?, edited = ?, description = ?, times = ? WHERE id = ?"),
        map(db, "INSERT OR REPLACE INTO sync_ids (kind, local_id, gid, published) VALUES (?, ?, ?, 1)"),
        twins(db, "SELECT id FROM sessions WHERE project_id = ? AND start_at = ? AND end_at = ? AND description IS ?"),
        sourcesOf(db, "SELECT source_id FROM sync_sources WHERE gid = ?1 OR gid IN (SELECT gid FROM sync_alias WHERE "
                      "canonical = ?1)"),
        // The finished sessions sharing time with a span, as the store finds them: through the
        // start index, within the longest session's length before it.
        overlapping(db, "SELECT s.id, m.gid FROM sessions s LEFT JOIN sync_ids m ON m.kind = 'session' AND "
                        "m.local_id = s.id WHERE s.start_at >= ? AND s.start_at < ? AND s.end_at > ? AND s.id != ? "
                        "ORDER BY s.start_at, s.id"),
        longest(db, "SELECT max(end_at - start_at) AS longest FROM sessions") {}

  Database::Statement selectRow, replaceRow, selectAlias, localId, gidOf, source, session, insertSession,
      updateSession, map, twins, sourcesOf, overlapping, longest;
};

SyncMerge::Group& SyncMerge::Merged::group(SyncGroup g) { return groups[groupIndex(g)]; }
const SyncMerge::Group& SyncMerge::Merged::group(SyncGroup g) const { return groups[groupIndex(g)]; }
bool SyncMerge::Merged::live() const {
  const Group& g = group(SyncGroup::live);
  return !g.present || g.value == "true";
}
std::int64_t SyncMerge::Merged::newest() const {
  std::int64_t stamp = 0;
  for (const auto& g : groups) stamp = std::max(stamp, g.stamp);
  return stamp;
}

SyncMerge::SyncMerge(Store& store, std::string me, HybridClock& clock)
    : store_(store), db_(store.db()), me_(std::move(me)), clock_(clock), statements_(std::make_unique<Statements>(db_)) {
  if (const auto open = store_.openSession()) openSession_ = open->id;
  // Most merges meet no alias and no source at all: then each row needn't look for its own.
  aliases_ = !db_.query("SELECT 1 FROM sync_alias LIMIT 1").empty();
  sourcesKnown_ = !db_.query("SELECT 1 FROM sync_sources LIMIT 1").empty();
}

SyncMerge::~SyncMerge() = default;

std::string SyncMerge::canonical(const std::string& gid) {
  if (!aliases_) return gid;
  if (const auto found = canonical_.find(gid); found != canonical_.end()) return found->second;
  const auto rows = statements_->selectAlias.rows({gid});
  std::string result = rows.empty() ? gid : rows.front().optionalText("canonical").value_or(gid);
  canonical_[gid] = result;
  return result;
}

SyncMerge::Merged& SyncMerge::row(const std::string& gid, std::string_view kind) {
  if (const auto found = rows_.find(gid); found != rows_.end()) return found->second;
  Merged merged;
  merged.gid = gid;
  merged.kind = std::string(kind);
  if (const auto rows = statements_->selectRow.rows({gid}); !rows.empty()) {
    const Row& r = rows.front();
    merged.kind = r.optionalText("kind").value_or(merged.kind);
    merged.madeStamp = r.integer("made_s");
    merged.madeAuthor = r.optionalText("made_a").value_or("");
    merged.madeAt = r.optionalDouble("made_at").value_or(0);
    for (const auto& [group, name] : kSyncGroupTexts) {
      const std::string n(name);
      if (const auto value = r.optionalText(n + "_v")) {
        Group& g = merged.group(group);
        // A stamp and author left out are the row's first record's.
        const auto stamp = r.integer(n + "_s");
        g = {stamp ? stamp : merged.madeStamp, r.optionalText(n + "_a").value_or(merged.madeAuthor), *value, false, true};
        if (group == SyncGroup::name) g.creation = r.integer("name_c") != 0;
      }
    }
  }
  return rows_.emplace(gid, std::move(merged)).first->second;
}

void SyncMerge::touch(Merged& m) {
  if (!m.dirty) dirty_.push_back(m.gid);
  m.dirty = true;
}

void SyncMerge::flush() {
  for (const auto& gid : std::exchange(dirty_, {})) {
    const auto found = rows_.find(gid);
    if (found == rows_.end() || !found->second.dirty) continue;  // gone into another, or written
    Merged& m = found->second;
    std::vector<SQLValue> values{m.gid, m.kind};
    if (m.madeStamp) {
      values.insert(values.end(), {m.madeStamp, m.madeAuthor, m.madeAt});
    } else {
      values.insert(values.end(), {SQLValue(), SQLValue(), SQLValue()});
    }
    for (const auto& [group, name] : kSyncGroupTexts) {
      const Group& g = m.group(group);
      if (g.present && m.madeStamp && g.stamp == m.madeStamp && g.author == m.madeAuthor) {
        // As its first record set it: said once, for a row a third the size.
        values.insert(values.end(), {SQLValue(), SQLValue(), g.value});
      } else if (g.present) {
        values.insert(values.end(), {g.stamp, g.author, g.value});
      } else {
        values.insert(values.end(), {SQLValue(), SQLValue(), SQLValue()});
      }
      if (group == SyncGroup::name) values.emplace_back(g.creation ? 1 : 0);
    }
    statements_->replaceRow.run(values);
    m.dirty = false;
  }
}

void SyncMerge::merge(Merged& m, const SyncRecord& record, Instant now, Effects* effects) {
  if (record.created &&
      (!m.madeStamp || std::tie(record.stamp, record.author) < std::tie(m.madeStamp, m.madeAuthor))) {
    m.madeStamp = record.stamp;
    m.madeAuthor = record.author;
    m.madeAt = record.createdAt;
    touch(m);
  }
  for (const auto& [group, name] : kSyncGroupTexts) {
    if (!record.has(group)) continue;
    Group& current = m.group(group);
    const bool wins = !current.present || std::tie(record.stamp, record.author) > std::tie(current.stamp, current.author);
    if (wins) {
      // A project that loses or gains a session, or sees one deleted, may have to go or stay.
      if (m.kind == "session" && group == SyncGroup::project && current.present) {
        projects_.insert(canonical(textOf(current.value)));
      }
      current = {record.stamp, record.author, record.value(group), group == SyncGroup::name && record.created, true};
      touch(m);
      (m.kind == "project" ? projects_ : sessions_).insert(m.gid);
    }
    if (!effects) continue;
    // Delete wins over an edit made without seeing it; the edit is kept as a conflict that can
    // be restored.
    const Group& life = m.group(SyncGroup::live);
    if (group != SyncGroup::live && life.present && life.value != "true" && record.author != life.author &&
        record.stamp > std::stoll(life.value)) {
      conflict("edit:" + m.gid + ":" + std::string(name) + ":" + std::to_string(record.stamp), "deleted-edit",
               WireCoding::compact(JSON{{"gid", m.gid},
                                        {"kind", m.kind},
                                        {"group", name},
                                        {"value", record.value(group)},
                                        {"author", record.author},
                                        {"deleter", life.author}}),
               now, effects, record.author);
    }
    if (group == SyncGroup::live && wins && !record.live) {
      for (const auto& [other, otherName] : kSyncGroupTexts) {
        const Group& g = m.group(other);
        if (other == SyncGroup::live || !g.present || g.author == record.author || g.stamp <= record.seen) continue;
        conflict("edit:" + m.gid + ":" + std::string(otherName) + ":" + std::to_string(g.stamp), "deleted-edit",
                 WireCoding::compact(JSON{{"gid", m.gid},
                                          {"kind", m.kind},
                                          {"group", otherName},
                                          {"value", g.value},
                                          {"author", g.author},
                                          {"deleter", record.author}}),
                 now, effects, g.author);
      }
    }
  }
}

void SyncMerge::note(const std::vector<SyncRecord>& records) {
  Effects effects;
  std::set<std::string> orphaned;  // sources of sessions deleted here
  for (const auto& record : records) {
    clock_.observe(record.stamp, HybridClock::milliseconds(record.stamp));
    if (record.kind == SyncKind::project || record.kind == SyncKind::session) {
      Merged& m = row(canonical(record.gid), rawValue(record.kind));
      merge(m, record, Instant(), nullptr);
      if (record.kind == SyncKind::session && m.group(SyncGroup::project).present) {
        projects_.insert(canonical(textOf(m.group(SyncGroup::project).value)));
      }
      if (record.kind == SyncKind::session && record.has(SyncGroup::live) && !record.live) {
        if (sourcesKnown_) {
          for (const auto& r : statements_->sourcesOf.rows({m.gid})) orphaned.insert(r.optionalText("source_id").value_or(""));
        }
      }
    } else if (record.kind == SyncKind::source) {
      statements_->source.run({record.source, record.gid, record.stamp, record.author});
      sourcesKnown_ = true;
    } else if (record.kind == SyncKind::alias) {
      alias(record.gid, record.to, effects);
    }
  }
  flush();
  // Own sessions and sources are as the tables have them, but for a source whose session was
  // deleted here: it goes back to the session it belonged to before, as it does everywhere. A
  // project may now have to go (its last session here deleted after another computer deleted
  // it) or share a name, and what that brings in follows.
  sessions_.clear();
  sources_ = std::move(orphaned);
  if (projects_.empty() && sources_.empty()) return;
  SyncSchema::setApplying(db_, true);
  materialize(Instant(), effects);
  SyncSchema::setApplying(db_, false);
}

void SyncMerge::reconsider(Instant now, Effects& effects) {
  for (const auto& r : db_.query("SELECT r.gid FROM sync_rows r JOIN sync_ids i ON i.kind = 'project' AND i.gid = r.gid "
                                 "WHERE r.kind = 'project' AND r.live_v IS NOT NULL AND r.live_v != 'true'")) {
    projects_.insert(r.optionalText("gid").value_or(""));
  }
  if (!projects_.empty()) materialize(now, effects);
}

void SyncMerge::apply(const std::vector<SyncRecord>& records, Instant now, Effects& effects) {
  const auto nowMs = static_cast<std::int64_t>(now.seconds * 1000);
  for (const auto& record : records) {
    clock_.observe(record.stamp, nowMs);
    switch (record.kind) {
      case SyncKind::project:
      case SyncKind::session: {
        Merged& m = row(canonical(record.gid), rawValue(record.kind));
        if (record.kind == SyncKind::session && record.created && record.author != me_) ++effects.tallies[record.author].sessions;
        merge(m, record, now, &effects);
        // A deleted project stays while sessions it never knew are in it.
        if (record.kind == SyncKind::session && m.group(SyncGroup::project).present) {
          projects_.insert(canonical(textOf(m.group(SyncGroup::project).value)));
        }
        break;
      }
      case SyncKind::source:
        statements_->source.run({record.source, record.gid, record.stamp, record.author});
      sourcesKnown_ = true;
        if (db_.changes() > 0) sources_.insert(record.source);
        break;
      case SyncKind::stop:
        if (record.computer == me_) effects.stops.push_back(record);
        break;
      case SyncKind::alias:
        alias(record.gid, record.to, effects);
        break;
    }
  }
  materialize(now, effects);
}

void SyncMerge::unite(const std::string& a, const std::string& b, Effects& effects) {
  queueAlias(std::max(canonical(a), canonical(b)), std::min(canonical(a), canonical(b)));
  alias(a, b, effects);
  materialize(Instant::now(), effects);
}

void SyncMerge::queueAlias(const std::string& gone, const std::string& kept) {
  db_.query("INSERT INTO sync_outbox (kind, gid, source, grp) VALUES ('alias', ?, ?, 'alias')", {gone, kept});
}

void SyncMerge::alias(const std::string& a, const std::string& b, Effects& effects) {
  const std::string x = canonical(a), y = canonical(b);
  if (x == y) return;
  const std::string keep = std::min(x, y), gone = std::max(x, y);
  const std::string kind = keep[0] == 'p' ? "project" : "session";
  aliases_ = true;
  Merged& kept = row(keep, kind);
  Merged other = row(gone, kind);
  rows_.erase(gone);
  // The two rows' groups merge as their records would have.
  if (other.madeStamp &&
      (!kept.madeStamp || std::tie(other.madeStamp, other.madeAuthor) < std::tie(kept.madeStamp, kept.madeAuthor))) {
    kept.madeStamp = other.madeStamp;
    kept.madeAuthor = other.madeAuthor;
    kept.madeAt = other.madeAt;
  }
  for (std::size_t i = 0; i < kept.groups.size(); ++i) {
    const Group& g = other.groups[i];
    if (g.present && (!kept.groups[i].present ||
                      std::tie(g.stamp, g.author) > std::tie(kept.groups[i].stamp, kept.groups[i].author))) {
      kept.groups[i] = g;
    }
  }
  touch(kept);
  db_.query("DELETE FROM sync_rows WHERE gid = ?", {gone});
  db_.query("INSERT OR REPLACE INTO sync_alias (gid, canonical) VALUES (?, ?)", {gone, keep});
  db_.query("UPDATE sync_alias SET canonical = ? WHERE canonical = ?", {keep, gone});
  for (auto& [from, to] : canonical_) {
    if (to == gone) to = keep;
  }
  canonical_[gone] = keep;

  // The tables: one local row stands for both.
  const auto rowGone = localId(kind, gone), rowKeep = localId(kind, keep);
  if (rowGone && rowKeep && rowGone != rowKeep) {
    if (kind == "project") {
      db_.query("UPDATE sessions SET project_id = ? WHERE project_id = ?", {*rowKeep, *rowGone});
      dropProject(*rowGone);
    } else if (rowGone != openSession_) {
      db_.query("UPDATE session_sources SET session_id = ? WHERE session_id = ?", {*rowKeep, *rowGone});
      dropSession(*rowGone);
    }
    effects.changed = true;
  } else if (rowGone) {
    db_.query("UPDATE sync_ids SET gid = ? WHERE kind = ? AND local_id = ?", {keep, kind, *rowGone});
  }
  (kind == "project" ? projects_ : sessions_).insert(keep);
  // Sessions waiting for any row of the two may now have a project here.
  if (kind == "project") {
    projectIds_.clear();  // one project's id now stands for both
    queueSessionsOf(keep);
  }
  if (sourcesKnown_) {
    for (const auto& r : statements_->sourcesOf.rows({gone})) sources_.insert(r.optionalText("source_id").value_or(""));
  }
}

std::optional<std::int64_t> SyncMerge::localId(std::string_view kind, const std::string& gid) {
  // Projects are few and asked for by each of their sessions.
  const bool project = kind == "project";
  if (project) {
    if (const auto found = projectIds_.find(gid); found != projectIds_.end()) return found->second;
  }
  const auto rows = statements_->localId.rows({std::string(kind), gid});
  const auto id = rows.empty() ? std::nullopt : std::optional<std::int64_t>(rows.front().integer("local_id"));
  if (project) projectIds_.emplace(gid, id);
  return id;
}

std::string SyncMerge::computerName(const std::string& id) {
  if (id == me_) {
    const auto rows = db_.query("SELECT value FROM sync_state WHERE key = 'name'");
    return rows.empty() ? "this computer" : rows.front().optionalText("value").value_or("this computer");
  }
  const auto rows = db_.query("SELECT name FROM sync_peers WHERE computer = ?", {id});
  const std::string name = rows.empty() ? "" : rows.front().optionalText("name").value_or("");
  return name.empty() ? id.substr(0, 8) : name;
}

void SyncMerge::conflict(const std::string& key, const std::string& kind, const std::string& detail, Instant now,
                         Effects* effects, const std::string& author) {
  db_.query("INSERT OR IGNORE INTO sync_conflicts (key, kind, detail, at) VALUES (?, ?, ?, ?)",
            {key, kind, detail, now.seconds});
  // Overlaps are counted as such.
  if (effects && db_.changes() > 0 && kind != "overlap") ++effects->tallies[author].conflicts;
}

bool SyncMerge::hasLiveSessions(const std::string& project) {
  std::vector<std::string> members{project};
  for (const auto& r : db_.query("SELECT gid FROM sync_alias WHERE canonical = ?", {project})) {
    members.push_back(r.optionalText("gid").value_or(""));
  }
  for (const auto& member : members) {
    if (!db_.query("SELECT 1 FROM sync_rows WHERE kind = 'session' AND project_v = ? AND (live_v IS NULL OR "
                   "live_v = 'true') LIMIT 1",
                   {WireCoding::compact(JSON(member))})
             .empty()) {
      return true;
    }
  }
  if (openSession_) {
    if (const auto local = localId("project", project)) {
      if (!db_.query("SELECT 1 FROM sessions WHERE id = ? AND project_id = ?", {*openSession_, *local}).empty()) return true;
    }
  }
  return false;
}

void SyncMerge::materialize(Instant now, Effects& effects) {
  // Each pass may find rows to unite, which brings their rows back in: until nothing is left.
  while (!projects_.empty() || !sessions_.empty() || !sources_.empty()) {
    flush();
    const std::set<std::string> projects = std::exchange(projects_, {});
    for (const auto& gid : projects) materializeProject(gid, effects);
    settleNames(projects, effects);
    flush();
    const std::set<std::string> sessions = std::exchange(sessions_, {});
    for (const auto& gid : sessions) materializeSession(gid, now, effects);
    flush();
    if (!projects_.empty()) continue;
    const std::set<std::string> sources = std::exchange(sources_, {});
    for (const auto& source : sources) materializeSource(source);
  }
  flush();
}

void SyncMerge::materializeProject(const std::string& gid, Effects& effects) {
  if (canonical(gid) != gid) return;
  Merged& m = row(gid, "project");
  if (!m.group(SyncGroup::name).present) return;
  const bool live = m.live();
  const auto local = localId("project", gid);
  const bool kept = live || hasLiveSessions(gid);
  if (!kept) {
    if (local) {
      for (const auto& r : db_.query("SELECT id FROM sessions WHERE project_id = ?", {*local})) dropSession(r.integer("id"));
      dropProject(*local);
      projectIds_[gid] = std::nullopt;
      effects.projectsRemoved.insert(*local);
      effects.changed = true;
    }
    return;
  }
  const bool archived = !live || m.group(SyncGroup::archived).value == "true";
  if (!live) {
    conflict("project:" + gid, "deleted-project",
             WireCoding::compact(JSON{{"gid", gid}, {"deleter", m.group(SyncGroup::live).author}}), Instant::now(),
             &effects, m.group(SyncGroup::live).author);
  }
  if (local) {
    const auto rows = db_.query("SELECT archived FROM projects WHERE id = ?", {*local});
    if (!rows.empty() && (rows.front().integer("archived") != 0) != archived) {
      db_.query("UPDATE projects SET archived = ? WHERE id = ?", {archived ? 1 : 0, *local});
      if (archived) effects.projectsRemoved.insert(*local);
      effects.changed = true;
    }
  } else {
    // Named in settleNames; a name no project can have meanwhile.
    db_.query("INSERT INTO projects (name, archived, created_at) VALUES (?, ?, ?)",
              {"\x01" + gid, archived ? 1 : 0, m.madeAt});
    const auto id = db_.lastInsertRowId();
    statements_->map.run({"project", id, gid});
    projectIds_[gid] = id;
    effects.changed = true;
    queueSessionsOf(gid);  // they may now have somewhere to go
  }
}

void SyncMerge::settleNames(const std::set<std::string>& changed, Effects& effects) {
  // The projects whose names may need to change: those just merged, those sharing a name with
  // them, and those shown with a computer's name that may no longer need it.
  std::set<std::string> involved;
  for (const auto& gid : changed) {
    if (canonical(gid) == gid && localId("project", gid)) involved.insert(gid);
  }
  for (const auto& r : db_.query("SELECT i.gid AS gid FROM projects p JOIN sync_ids i ON i.kind = 'project' AND "
                                 "i.local_id = p.id JOIN sync_rows s ON s.gid = i.gid WHERE json_quote(p.name) IS NOT "
                                 "s.name_v")) {
    involved.insert(r.optionalText("gid").value_or(""));
  }
  std::map<std::string, std::string> display;  // gid → name to show
  std::set<std::string> done;
  for (const auto& gid : std::set<std::string>(involved)) {
    if (done.contains(gid) || canonical(gid) != gid) continue;
    const std::string nameValue = row(gid, "project").group(SyncGroup::name).value;
    if (nameValue.empty()) continue;
    // Every shown project of this name.
    std::vector<std::string> same;
    for (const auto& r : db_.query("SELECT gid FROM sync_rows WHERE kind = 'project' AND lower(name_v) = lower(?)",
                                   {nameValue})) {
      const std::string other = canonical(r.optionalText("gid").value_or(""));
      if (localId("project", other) && std::find(same.begin(), same.end(), other) == same.end()) same.push_back(other);
    }
    std::sort(same.begin(), same.end());
    // Made with this name on two computers: one project.
    for (std::size_t i = 1; i < same.size();) {
      const Merged &first = row(same[0], "project"), &other = row(same[i], "project");
      if (first.group(SyncGroup::name).creation && other.group(SyncGroup::name).creation &&
          first.madeAuthor != other.madeAuthor) {
        const std::string author = first.madeAuthor == me_ ? other.madeAuthor : first.madeAuthor;
        queueAlias(same[i], same[0]);
        alias(same[0], same[i], effects);
        ++effects.tallies[author].projectsMerged;
        same.erase(same.begin() + static_cast<std::ptrdiff_t>(i));
      } else {
        ++i;
      }
    }
    // The earliest claim keeps the name; the others show whose claim they are.
    std::sort(same.begin(), same.end(), [&](const std::string& a, const std::string& b) {
      const Group &ga = row(a, "project").group(SyncGroup::name), &gb = row(b, "project").group(SyncGroup::name);
      return std::tie(ga.stamp, ga.author) < std::tie(gb.stamp, gb.author);
    });
    std::map<std::string, int> byComputer;
    for (std::size_t i = 0; i < same.size(); ++i) {
      const Group& g = row(same[i], "project").group(SyncGroup::name);
      std::string name = textOf(g.value);
      if (i > 0) {
        const std::string computer = computerName(g.author);
        const int count = ++byComputer[computer];
        name += " (" + computer + (count > 1 ? " " + std::to_string(count) : "") + ")";
      }
      display[same[i]] = name;
      done.insert(same[i]);
    }
    if (same.size() > 1) {
      std::string key = "name";
      for (const auto& g : same) key += ":" + g;
      JSON gids = JSON::array();
      for (const auto& g : same) gids.push_back(g);
      conflict(key, "name", WireCoding::compact(JSON{{"gids", gids}}), Instant::now(), &effects,
               row(same[1], "project").group(SyncGroup::name).author);
    }
  }
  // Two steps, so that two projects may trade names.
  std::vector<std::pair<std::int64_t, std::string>> renames;
  for (const auto& [gid, name] : display) {
    const auto local = localId("project", gid);
    if (!local) continue;
    const auto rows = db_.query("SELECT name FROM projects WHERE id = ?", {*local});
    if (!rows.empty() && rows.front().optionalText("name") != name) renames.emplace_back(*local, name);
  }
  for (const auto& [id, name] : renames) db_.query("UPDATE projects SET name = ? WHERE id = ?", {"\x02" + std::to_string(id), id});
  for (const auto& [id, name] : renames) {
    try {
      db_.query("UPDATE projects SET name = ? WHERE id = ?", {name, id});
    } catch (const DatabaseError& error) {
      // Another project really has that name: the row's own id, the same everywhere, tells it.
      if (error.kind() != DatabaseError::Case::constraint) throw;
      const auto gid = statements_->gidOf.rows({std::string("project"), id});
      const std::string mark = gid.empty() ? std::to_string(id) : gid.front().optionalText("gid").value_or("").substr(1, 6);
      db_.query("UPDATE projects SET name = ? WHERE id = ?", {name + " (" + mark + ")", id});
    }
    effects.changed = true;
  }
}

void SyncMerge::materializeSession(const std::string& gid, Instant now, Effects& effects) {
  if (canonical(gid) != gid) return;
  Merged& m = row(gid, "session");
  const Group &span = m.group(SyncGroup::span), &project = m.group(SyncGroup::project);
  if (!span.present || !project.present) return;
  const auto local = localId("session", gid);
  if (local && local == openSession_) return;  // this computer's running session: its own until it ends
  const auto projectLocal = localId("project", canonical(textOf(project.value)));
  if (!m.live() || !projectLocal) {
    if (local) {
      dropSession(*local);
      effects.changed = true;
    }
    return;
  }
  SyncRecord values;
  values.setValue(SyncGroup::span, span.value);
  std::optional<std::string> description;
  if (m.group(SyncGroup::description).present) {
    values.setValue(SyncGroup::description, m.group(SyncGroup::description).value);
    description = values.description;
  }
  const bool edited = m.group(SyncGroup::edited).value == "true";
  const std::vector<SQLValue> fields{*projectLocal, values.span.start, values.span.end, values.span.active,
                                     std::string(rawValue(values.span.reason)), edited ? 1 : 0,
                                     description ? SQLValue(*description) : SQLValue(),
                                     std::string(rawValue(values.span.times))};
  if (local) {
    const auto current = statements_->session.rows({*local});
    if (!current.empty() && current.front().values() != fields) {
      std::vector<SQLValue> update = fields;
      update.emplace_back(*local);
      statements_->updateSession.run(update);
      if (longest_) longest_ = std::max(*longest_, values.span.end - values.span.start);
      effects.changed = true;
    }
  } else {
    // The same session made on two computers is one.
    for (const auto& twin : statements_->twins.rows({*projectLocal, values.span.start, values.span.end,
                                                     description ? SQLValue(*description) : SQLValue()})) {
      const auto twinId = twin.integer("id");
      if (twinId == openSession_) continue;
      const auto twinGid = statements_->gidOf.rows({std::string("session"), twinId});
      if (twinGid.empty()) continue;
      const std::string other = twinGid.front().optionalText("gid").value_or("");
      if (row(other, "session").madeAuthor == m.madeAuthor) continue;
      ++effects.tallies[m.madeAuthor == me_ ? row(other, "session").madeAuthor : m.madeAuthor].alreadyHere;
      queueAlias(std::max(other, gid), std::min(other, gid));
      alias(other, gid, effects);
      return;
    }
    statements_->insertSession.run(fields);
    const auto id = db_.lastInsertRowId();
    statements_->map.run({"session", id, gid});
    effects.changed = true;
    if (m.madeAuthor != me_) ++effects.tallies[m.madeAuthor].added;
    // Time counted twice across computers is shown, not trimmed: trimming would lose time. The
    // longest session's length is read once per merge and grows with what it inserts.
    if (!longest_) longest_ = statements_->longest.rows({}).front().optionalDouble("longest").value_or(0);
    longest_ = std::max(*longest_, values.span.end - values.span.start);
    for (const auto& other : statements_->overlapping.rows({values.span.start - *longest_ - 1, values.span.end,
                                                             values.span.start, id})) {
      const auto found = other.optionalText("gid");
      if (!found) continue;
      const std::string og = *found;
      if (row(og, "session").madeAuthor == m.madeAuthor) continue;
      conflict("overlap:" + std::min(og, gid) + ":" + std::max(og, gid), "overlap",
               WireCoding::compact(JSON{{"gids", JSON::array({std::min(og, gid), std::max(og, gid)})}}), now, &effects,
               m.madeAuthor);
      if (m.madeAuthor != me_) ++effects.tallies[m.madeAuthor].overlaps;
    }
  }
  if (sourcesKnown_) {
    for (const auto& r : statements_->sourcesOf.rows({gid})) sources_.insert(r.optionalText("source_id").value_or(""));
  }
}

void SyncMerge::queueSessionsOf(const std::string& project) {
  std::vector<std::string> members{project};
  for (const auto& r : db_.query("SELECT gid FROM sync_alias WHERE canonical = ?", {project})) {
    members.push_back(r.optionalText("gid").value_or(""));
  }
  for (const auto& member : members) {
    for (const auto& r : db_.query("SELECT gid FROM sync_rows WHERE kind = 'session' AND project_v = ?",
                                   {WireCoding::compact(JSON(member))})) {
      sessions_.insert(r.optionalText("gid").value_or(""));
    }
  }
}

void SyncMerge::dropSession(std::int64_t id) {
  // Its sources may belong to another session now.
  for (const auto& r : db_.query("SELECT source_id FROM session_sources WHERE session_id = ?", {id})) {
    sources_.insert(r.optionalText("source_id").value_or(""));
  }
  db_.query("DELETE FROM sessions WHERE id = ?", {id});
  db_.query("DELETE FROM sync_ids WHERE kind = 'session' AND local_id = ?", {id});  // its id may be given again
}

void SyncMerge::dropProject(std::int64_t id) {
  db_.query("DELETE FROM projects WHERE id = ?", {id});
  db_.query("DELETE FROM sync_ids WHERE kind = 'project' AND local_id = ?", {id});
}

void SyncMerge::materializeSource(const std::string& source) {
  std::optional<std::int64_t> target;
  for (const auto& r : db_.query("SELECT gid FROM sync_sources WHERE source_id = ? ORDER BY stamp DESC, author DESC",
                                 {source})) {
    const std::string gid = canonical(r.optionalText("gid").value_or(""));
    if ((target = localId("session", gid))) break;
  }
  const auto current = db_.query("SELECT session_id FROM session_sources WHERE source_id = ?", {source});
  const std::optional<std::int64_t> now =
      current.empty() ? std::nullopt : std::optional<std::int64_t>(current.front().integer("session_id"));
  if (target == now) return;
  if (target) {
    db_.query("INSERT OR REPLACE INTO session_sources (source_id, session_id) VALUES (?, ?)", {source, *target});
  } else {
    db_.query("DELETE FROM session_sources WHERE source_id = ?", {source});
  }
}

}  // namespace lumetra
