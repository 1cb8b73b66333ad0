#include "sync/SyncOutbox.hpp"

#include <cstdio>
#include <map>
#include <set>

#include "control/WireCoding.hpp"
#include "sync/SyncGids.hpp"

namespace lumetra {

namespace {

// The entries of one row in one drain.
struct Pending {
  std::string kind;
  std::int64_t localId = 0;
  std::string gid, source;
  unsigned groups = 0;
  bool all = false, dead = false;
  std::int64_t lastEntry = 0;
};

// Which record each outbox entry goes into, in order: one per row and drain; a deletion, a
// source, an alias, a stop, a restore or a lost computer's session each its own. A row deleted
// in the drain ends there: its earlier entries go with its deletion (`endedBy`), and a row that
// takes its integer id afterwards is another.
std::vector<std::string> keysOf(const std::vector<Row>& entries, std::map<std::string, std::string>& endedBy) {
  std::map<std::string, int> generation;
  std::vector<std::string> keys;
  for (const auto& entry : entries) {
    const std::string kind = entry.optionalText("kind").value_or("");
    const std::string row = kind + ":" + std::to_string(entry.integer("local_id"));
    std::string key = row + "#" + std::to_string(generation[row]);
    if (entry.optionalText("grp") == "dead") {
      const std::string dead = row + ":dead:" + entry.optionalText("gid").value_or("");
      endedBy[key] = dead;
      ++generation[row];
      key = dead;
    }
    if (kind == "source") key = row + ":" + entry.optionalText("source").value_or("");
    if (kind == "alias" || kind == "stop" || kind == "restore" || kind == "forget") {
      key = kind + ":" + entry.optionalText("gid").value_or("") + ":" + std::to_string(entry.integer("seq"));
    }
    keys.push_back(std::move(key));
  }
  return keys;
}

unsigned groupOf(const std::string& name) {
  for (const auto& [group, text] : kSyncGroupTexts) {
    if (text == name) return group;
  }
  return 0;
}

}  // namespace

std::string SyncOutbox::sourceGid(const std::string& sourceId) {
  // Two FNV-1a lanes with different starts, then mixed: 128 bits that are the same everywhere.
  std::uint64_t a = 14695981039346656037ull, b = 0x84222325cbf29ce4ull;
  for (const char c : sourceId) {
    a = (a ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    b = (b ^ static_cast<unsigned char>(c)) * 0x100000001b3ull + 0x9e3779b97f4a7c15ull;
  }
  const auto mix = [](std::uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdull;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ull;
    return x ^ (x >> 33);
  };
  char text[40];
  std::snprintf(text, sizeof text, "s%016llx%016llx", static_cast<unsigned long long>(mix(a)),
                static_cast<unsigned long long>(mix(b ^ a)));
  return text;
}

void SyncOutbox::assignIds() {
  Database& db = store_.db();
  // A row gets its id when it is first to be written out, and the running session (the others
  // see it): a row gone before then never had one, and its integer id given again is another.
  db.query("INSERT OR IGNORE INTO sync_ids (kind, local_id) "
           "SELECT 'session', o.local_id FROM sync_outbox o JOIN sessions s ON s.id = o.local_id "
           "WHERE o.kind IN ('session', 'source') "
           "UNION SELECT 'project', o.local_id FROM sync_outbox o JOIN projects p ON p.id = o.local_id "
           "WHERE o.kind = 'project' "
           "UNION SELECT 'session', id FROM sessions WHERE end_at IS NULL");
  const auto rows = db.query("SELECT kind, local_id FROM sync_ids WHERE gid IS NULL");
  if (rows.empty()) return;
  Database::Statement give(db, "UPDATE sync_ids SET gid = ? WHERE kind = ? AND local_id = ?");
  for (const auto& row : rows) {
    const std::string kind = row.optionalText("kind").value_or("");
    give.run({SyncGids::row(kind == "project" ? 'p' : 's'), kind, row.integer("local_id")});
  }
}

std::int64_t SyncOutbox::pending() {
  return store_.db().query("SELECT count(*) AS n FROM sync_outbox").front().integer("n");
}

SyncOutbox::Drained SyncOutbox::drain(HybridClock& clock, std::int64_t nowMs, std::int64_t firstSequence) {
  Database& db = store_.db();
  Drained drained;
  std::vector<Pending> order;
  std::map<std::string, std::size_t> byRow;
  const auto entries = db.query("SELECT seq, kind, local_id, gid, source, grp FROM sync_outbox ORDER BY seq LIMIT ?", {batch});
  std::map<std::string, std::string> endedBy;
  const auto keys = keysOf(entries, endedBy);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Row& entry = entries[i];
    if (endedBy.contains(keys[i])) {
      drained.lastEntry = entry.integer("seq");
      continue;  // the row was deleted after: its deletion says all
    }
    Pending next;
    next.kind = entry.optionalText("kind").value_or("");
    next.localId = entry.integer("local_id");
    next.gid = entry.optionalText("gid").value_or("");
    next.source = entry.optionalText("source").value_or("");
    next.lastEntry = entry.integer("seq");
    const std::string group = entry.optionalText("grp").value_or("");
    drained.lastEntry = next.lastEntry;
    if (next.kind == "alias" || next.kind == "stop" || next.kind == "restore" || next.kind == "forget") {
      next.groups = groupOf(group);
    }
    const auto [at, added] = byRow.emplace(keys[i], order.size());
    if (added) order.push_back(next);
    Pending& row = order[at->second];
    row.lastEntry = next.lastEntry;
    if (group == "all") row.all = true;
    else if (group == "dead") row.dead = true;
    else row.groups |= groupOf(group);
  }
  if (order.empty()) return drained;

  Database::Statement mapping(db, "SELECT gid, published FROM sync_ids WHERE kind = ? AND local_id = ?");
  Database::Statement taken(db, "SELECT 1 FROM sync_ids WHERE gid = ?");
  Database::Statement canonical(db, "SELECT canonical FROM sync_alias WHERE gid = ?");
  Database::Statement known(db, "SELECT 1 FROM sync_rows WHERE gid = ?");
  Database::Statement merged(db,
                             "SELECT max(coalesce(made_s, 0), coalesce(name_s, 0), coalesce(archived_s, 0), coalesce(project_s, 0), "
                             "coalesce(span_s, 0), coalesce(description_s, 0), coalesce(edited_s, 0), "
                             "coalesce(live_s, 0)) AS newest FROM sync_rows WHERE gid = ?");
  Database::Statement project(db, "SELECT name, archived, created_at FROM projects WHERE id = ?");
  Database::Statement session(db, "SELECT project_id, start_at, end_at, last_active_at, end_reason, edited, "
                                  "description, times FROM sessions WHERE id = ?");
  Database::Statement firstSource(db, "SELECT source_id FROM session_sources WHERE session_id = ? ORDER BY rowid LIMIT 1");
  Database::Statement sourceOwner(db, "SELECT session_id FROM session_sources WHERE source_id = ?");

  std::int64_t sequence = firstSequence;
  std::map<std::int64_t, std::string> rekeyed;  // sessions given their source's id in this drain
  for (const Pending& pending : order) {
    SyncRecord record;
    record.author = me_;
    record.outbox = pending.lastEntry;
    std::int64_t newest = 0;
    const auto stampAfter = [&](const std::string& gid) {
      if (const auto rows = merged.rows({gid}); !rows.empty()) newest = rows.front().integer("newest");
    };
    if (pending.kind == "alias") {
      record.kind = SyncKind::alias;
      record.gid = pending.gid;
      record.to = pending.source;
    } else if (pending.kind == "stop") {
      record.kind = SyncKind::stop;
      record.gid = pending.gid;
      record.computer = pending.source;
      record.at = static_cast<double>(pending.localId) / 1000.0;
    } else if (pending.kind == "restore") {
      // Alive again, with the value an edit lost to the deletion, if any.
      record.kind = pending.gid[0] == 'p' ? SyncKind::project : SyncKind::session;
      record.gid = pending.gid;
      stampAfter(record.gid);
      record.setValue(SyncGroup::live, "true");
      if (pending.groups && pending.groups != SyncGroup::live) {
        record.setValue(static_cast<SyncGroup>(pending.groups), pending.source);
      }
    } else if (pending.kind == "forget") {
      // A lost computer's running session, ended here at its last reported activity.
      record.kind = SyncKind::session;
      record.gid = pending.gid;
      stampAfter(record.gid);
      record.created = true;
      try {
        const JSON running = WireCoding::parse(pending.source);
        record.setValue(SyncGroup::project, WireCoding::compact(running.at("project_gid")));
        const double start = running.at("start").get<double>();
        const double end = std::max(running.at("active").get<double>(), start);
        if (!(end > start)) continue;
        record.setValue(SyncGroup::span, WireCoding::compact(JSON::array({start, end, end, "recovered", "real"})));
        record.setValue(SyncGroup::description, WireCoding::compact(running.value("description", JSON())));
        record.setValue(SyncGroup::edited, "false");
        record.createdAt = start;
      } catch (const std::exception&) {
        continue;
      }
    } else if (pending.kind == "source") {
      // The source's session now, which may have changed since.
      const auto owner = sourceOwner.rows({pending.source});
      if (owner.empty()) continue;
      const auto owning = owner.front().integer("session_id");
      const auto map = mapping.rows({std::string("session"), owning});
      if (map.empty()) continue;
      record.kind = SyncKind::source;
      record.gid = rekeyed.contains(owning) ? rekeyed[owning] : map.front().optionalText("gid").value_or("");
      record.source = pending.source;
    } else if (pending.dead) {
      record.kind = pending.kind == "project" ? SyncKind::project : SyncKind::session;
      record.gid = pending.gid;
      stampAfter(record.gid);
      record.groups = SyncGroup::live;
      record.live = false;
      record.seen = newest;
    } else {
      const bool isProject = pending.kind == "project";
      const auto map = mapping.rows({pending.kind, pending.localId});
      const auto rows = (isProject ? project : session).rows({pending.localId});
      if (map.empty() || rows.empty()) continue;  // gone again before it was published
      const Row& row = rows.front();
      if (!isProject && !row.optionalDouble("end_at")) continue;  // running: published when it ends
      record.kind = isProject ? SyncKind::project : SyncKind::session;
      record.gid = map.front().optionalText("gid").value_or("");
      record.created = map.front().integer("published") == 0;
      if (record.created && !isProject && row.optionalText("end_reason") == std::string(rawValue(EndReason::imported))) {
        // A session imported with a source ID takes its identity from it, so that one export
        // imported on two computers is one session. Only an identity never seen: a session that
        // got its source from a merge, or an import after a deletion, is another session.
        if (const auto source = firstSource.rows({pending.localId}); !source.empty()) {
          const std::string gid = sourceGid(source.front().optionalText("source_id").value_or(""));
          if (taken.rows({gid}).empty() && known.rows({gid}).empty() && canonical.rows({gid}).empty()) {
            record.gid = gid;
            rekeyed[pending.localId] = gid;
          }
        }
      }
      stampAfter(record.gid);
      record.groups = pending.all || record.created ? (isProject ? kProjectGroups : kSessionGroups) : pending.groups;
      if (isProject) {
        record.name = row.optionalText("name").value_or("");
        record.archived = row.integer("archived") != 0;
        record.createdAt = row.optionalDouble("created_at").value_or(0);
      } else {
        const auto projectMap = mapping.rows({std::string("project"), row.integer("project_id")});
        if (projectMap.empty()) continue;
        record.project = projectMap.front().optionalText("gid").value_or("");
        record.span.start = row.optionalDouble("start_at").value_or(0);
        record.span.end = row.optionalDouble("end_at").value_or(0);
        record.span.active = std::clamp(row.optionalDouble("last_active_at").value_or(record.span.end),
                                        record.span.start, record.span.end);
        record.span.reason = fromRawValue<EndReason>(row.optionalText("end_reason").value_or("")).value_or(EndReason::manual);
        record.span.times = fromRawValue<SessionTimes>(row.optionalText("times").value_or("")).value_or(SessionTimes::real);
        record.description = row.optionalText("description");
        record.edited = row.integer("edited") != 0;
        record.createdAt = record.span.start;
        if (!(record.span.end > record.span.start)) continue;  // nothing a reader would take
      }
    }
    record.stamp = clock.next(nowMs, newest);
    record.sequence = sequence++;
    drained.records.push_back(std::move(record));
  }
  return drained;
}

void SyncOutbox::written(const std::vector<SyncRecord>& records, std::int64_t upTo, bool whole) {
  Database& db = store_.db();
  // After a write cut short, only the entries of the records that made it go.
  std::set<std::string> done;
  std::map<std::string, std::string> endedBy;
  std::vector<Row> entries;
  std::vector<std::string> keys;
  if (!whole) {
    entries = db.query("SELECT * FROM sync_outbox WHERE seq <= ? ORDER BY seq", {upTo});
    keys = keysOf(entries, endedBy);
    std::map<std::int64_t, std::string> bySeq;
    for (std::size_t i = 0; i < entries.size(); ++i) bySeq[entries[i].integer("seq")] = keys[i];
    for (const auto& record : records) {
      if (const auto found = bySeq.find(record.outbox); found != bySeq.end()) done.insert(found->second);
    }
  }
  for (const auto& record : records) {
    if (!record.created) continue;
    const auto entry = db.query("SELECT kind, local_id FROM sync_outbox WHERE seq = ?", {record.outbox});
    if (entry.empty()) continue;
    db.query("UPDATE sync_ids SET gid = ?, published = 1 WHERE kind = ? AND local_id = ?",
             {record.gid, entry.front().optionalText("kind").value_or(""), entry.front().integer("local_id")});
  }
  if (whole) {
    db.query("DELETE FROM sync_outbox WHERE seq <= ?", {upTo});
    return;
  }
  Database::Statement remove(db, "DELETE FROM sync_outbox WHERE seq = ?");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto ended = endedBy.find(keys[i]);
    if (done.contains(keys[i]) || (ended != endedBy.end() && done.contains(ended->second))) {
      remove.run({entries[i].integer("seq")});
    }
  }
}

}  // namespace lumetra
