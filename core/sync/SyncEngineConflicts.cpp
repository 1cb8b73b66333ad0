// The conflicts sync lists, and their fixes.
#include <algorithm>

#include "control/WireCoding.hpp"
#include "platform/DateFormat.hpp"
#include "store/Transaction.hpp"
#include "sync/SyncEngine.hpp"
#include "sync/SyncSchema.hpp"

namespace lumetra {

namespace {

std::string partOf(const std::string& group) {
  if (group == "name") return "renamed it";
  if (group == "archived") return "archived or unarchived it";
  if (group == "project") return "moved it to another project";
  if (group == "span") return "changed its times";
  if (group == "description") return "changed its description";
  return "edited it";
}

std::string text(const JSON& value) { return value.is_string() ? value.get<std::string>() : std::string(); }

}  // namespace

std::string SyncEngine::computerName(const std::string& id) {
  if (id == computer()) return state("name").value_or("this computer");
  const auto rows = store_.db().query("SELECT name FROM sync_peers WHERE computer = ?", {id});
  const std::string name = rows.empty() ? "" : rows.front().optionalText("name").value_or("");
  return name.empty() ? id.substr(0, 8) : name;
}

std::string SyncEngine::described(const std::string& gid, const Calendar& calendar) {
  const auto rows = store_.db().query("SELECT name_v, project_v, span_v FROM sync_rows WHERE gid = ?", {gid});
  if (rows.empty()) return "a " + std::string(gid[0] == 'p' ? "project" : "session") + " not read yet";
  const Row& row = rows.front();
  if (gid[0] == 'p') return "project " + curlyQuoted(text(WireCoding::parse(row.optionalText("name_v").value_or("\"\""))));
  std::string project = "?";
  if (const auto projectGid = row.optionalText("project_v")) {
    const auto names = store_.db().query(
        "SELECT name_v FROM sync_rows WHERE gid = coalesce((SELECT canonical FROM sync_alias WHERE gid = ?), ?)",
        {text(WireCoding::parse(*projectGid)), text(WireCoding::parse(*projectGid))});
    if (!names.empty()) project = text(WireCoding::parse(names.front().optionalText("name_v").value_or("\"?\"")));
  }
  SyncRecord span;
  span.setValue(SyncGroup::span, row.optionalText("span_v").value_or("[0,1,0,\"manual\",\"real\"]"));
  const DateFormat day("yyyy-MM-dd", calendar), clock("HH:mm", calendar);
  return project + " " + day.format(Instant(span.span.start)) + " " + clock.format(Instant(span.span.start)) + "–" +
         clock.format(Instant(span.span.end));
}

std::optional<SyncConflict> SyncEngine::conflict(const Row& row, const Calendar& calendar) {
  SyncConflict conflict;
  conflict.id = row.integer("id");
  conflict.kind = row.optionalText("kind").value_or("");
  const JSON detail = WireCoding::parse(row.optionalText("detail").value_or("{}"));
  Database& db = store_.db();
  const auto live = [&](const std::string& gid) {
    const auto rows = db.query("SELECT live_v FROM sync_rows WHERE gid = ?", {gid});
    return !rows.empty() && rows.front().optionalText("live_v").value_or("true") == "true";
  };
  const auto local = [&](const std::string& gid) -> std::optional<std::int64_t> {
    const auto rows = db.query("SELECT local_id FROM sync_ids WHERE gid = ?", {gid});
    if (rows.empty()) return std::nullopt;
    return rows.front().integer("local_id");
  };
  if (conflict.kind == "deleted-edit") {
    const std::string gid = text(detail.at("gid"));
    if (live(gid)) return std::nullopt;
    conflict.text = computerName(text(detail.at("deleter"))) + " deleted " + described(gid, calendar) + ", and " +
                    computerName(text(detail.at("author"))) + " " + partOf(text(detail.at("group"))) +
                    " without seeing that.";
    conflict.fixes = {"restore", "keep"};
  } else if (conflict.kind == "deleted-project") {
    const std::string gid = text(detail.at("gid"));
    if (live(gid) || !local(gid)) return std::nullopt;
    conflict.text = computerName(text(detail.at("deleter"))) + " deleted " + described(gid, calendar) +
                    " while it still had sessions it didn't know of; it stays, archived, with those.";
    conflict.fixes = {"keep", "delete"};
  } else if (conflict.kind == "name") {
    std::vector<std::pair<std::string, std::string>> shown;  // gid, local name
    for (const auto& g : detail.at("gids")) {
      if (const auto id = local(text(g))) {
        const auto rows = db.query("SELECT name FROM projects WHERE id = ?", {*id});
        if (!rows.empty()) shown.emplace_back(text(g), rows.front().optionalText("name").value_or(""));
      }
    }
    std::string base;
    std::size_t same = 0;
    for (const auto& [gid, name] : shown) {
      const auto rows = db.query("SELECT name_v FROM sync_rows WHERE gid = ?", {gid});
      const std::string claimed = rows.empty() ? "" : text(WireCoding::parse(rows.front().optionalText("name_v").value_or("\"\"")));
      if (base.empty()) base = claimed;
      if (Store::foldedName(claimed) == Store::foldedName(base)) ++same;
    }
    if (same < 2) return std::nullopt;
    conflict.text = "Two projects are called " + curlyQuoted(base) + ": one keeps the name, the other shows as " +
                    curlyQuoted(shown.back().second) + ".";
    for (const auto& [gid, name] : shown) {
      if (name != base) {
        conflict.text = "Two projects are called " + curlyQuoted(base) + ": one keeps the name, the other shows as " +
                        curlyQuoted(name) + ".";
      }
    }
    conflict.fixes = {"rename", "merge"};
  } else if (conflict.kind == "overlap") {
    const std::string a = text(detail.at("gids")[0]), b = text(detail.at("gids")[1]);
    const auto first = local(a), second = local(b);
    if (!first || !second) return std::nullopt;
    const auto x = store_.session(*first), y = store_.session(*second);
    if (!x || !y || x->isOpen() || y->isOpen() || !(x->start < *y->end && y->start < *x->end)) return std::nullopt;
    const auto made = [&](const std::string& gid) {
      const auto rows = db.query("SELECT made_a FROM sync_rows WHERE gid = ?", {gid});
      return computerName(rows.empty() ? "" : rows.front().optionalText("made_a").value_or(""));
    };
    conflict.text = described(a, calendar) + " (" + made(a) + ") and " + described(b, calendar) + " (" + made(b) +
                    ") overlap.";
    conflict.fixes = {"trim", "delete", "keep"};
  } else {
    return std::nullopt;
  }
  return conflict;
}

SyncConflicts SyncEngine::conflicts(const Calendar& calendar) {
  SyncConflicts list;
  if (!enabled()) return list;
  for (const auto& row : store_.db().query("SELECT id, kind, detail FROM sync_conflicts ORDER BY id")) {
    try {
      if (auto found = conflict(row, calendar)) list.conflicts.push_back(std::move(*found));
    } catch (const std::exception&) {
      // A detail that doesn't read is nothing to show.
    }
  }
  return list;
}

SyncResolved SyncEngine::resolve(const SyncResolve& request, Instant now, const Calendar& calendar) {
  if (!enabled()) throw SyncError("Sync is off. Turn it on with “lumetra-app sync enable FOLDER”.");
  const auto rows = store_.db().query("SELECT id, kind, detail FROM sync_conflicts WHERE id = ?", {request.id});
  const auto found = rows.empty() ? std::nullopt : conflict(rows.front(), calendar);
  if (!found) {
    throw SyncError("There's no conflict " + std::to_string(request.id) + ". “lumetra-app sync conflicts” lists them.");
  }
  if (std::find(found->fixes.begin(), found->fixes.end(), request.fix) == found->fixes.end()) {
    std::string fixes;
    for (std::size_t i = 0; i < found->fixes.size(); ++i) {
      fixes += (i == 0 ? "" : i + 1 == found->fixes.size() ? " or " : ", ") + found->fixes[i];
    }
    throw SyncError("Conflict " + std::to_string(request.id) + " is fixed with " + fixes + ", not " +
                    curlyQuoted(request.fix) + ".");
  }
  Database& db = store_.db();
  const JSON detail = WireCoding::parse(rows.front().optionalText("detail").value_or("{}"));
  const auto localOf = [&](const std::string& gid) {
    const auto ids = db.query("SELECT local_id FROM sync_ids WHERE gid = ?", {gid});
    return ids.empty() ? std::int64_t{0} : ids.front().integer("local_id");
  };
  std::string said;
  Transaction transaction(db);
  if (found->kind == "deleted-edit" && request.fix == "restore") {
    const std::string gid = text(detail.at("gid"));
    db.query("INSERT INTO sync_outbox (kind, gid, source, grp) VALUES ('restore', ?, ?, ?)",
             {gid, text(detail.at("value")), text(detail.at("group"))});
    said = "Restored " + described(gid, calendar) + " with what " + computerName(text(detail.at("author"))) +
           " changed.";
  } else if (found->kind == "deleted-project" && request.fix == "keep") {
    const std::string gid = text(detail.at("gid"));
    db.query("INSERT INTO sync_outbox (kind, gid, source, grp) VALUES ('restore', ?, 'true', 'live')", {gid});
    said = "Kept " + described(gid, calendar) + ".";
  } else if (found->kind == "deleted-project" && request.fix == "delete") {
    const std::string gid = text(detail.at("gid"));
    const auto id = localOf(gid);
    const auto count = db.query("SELECT count(*) AS n FROM sessions WHERE project_id = ? AND end_at IS NOT NULL", {id});
    said = "Deleted " + described(gid, calendar) + " and its " + std::to_string(count.front().integer("n")) +
           " sessions.";
    db.query("DELETE FROM sessions WHERE project_id = ? AND end_at IS NOT NULL", {id});
    if (db.query("SELECT 1 FROM sessions WHERE project_id = ?", {id}).empty()) {
      db.query("DELETE FROM projects WHERE id = ?", {id});
    }
  } else if (found->kind == "name" && request.fix == "rename") {
    if (!request.name) throw SyncError("rename needs the new name: lumetra-app sync resolve " + std::to_string(request.id) + " rename NAME.");
    std::int64_t id = 0;
    std::string was;
    for (const auto& g : detail.at("gids")) {
      const auto candidate = localOf(text(g));
      const auto project = store_.project(candidate);
      const auto claimed = db.query("SELECT name_v FROM sync_rows WHERE gid = ?", {text(g)});
      if (project && !claimed.empty() && WireCoding::compact(JSON(project->name)) != claimed.front().optionalText("name_v")) {
        id = candidate;
        was = project->name;
      }
    }
    if (!id) id = localOf(text(detail.at("gids").back()));
    if (was.empty()) was = store_.project(id) ? store_.project(id)->name : "";
    store_.renameProject(id, *request.name);
    said = "Renamed " + curlyQuoted(was) + " to " + curlyQuoted(Store::trimmed(*request.name)) + ".";
  } else if (found->kind == "name" && request.fix == "merge") {
    const std::string a = text(detail.at("gids")[0]), b = text(detail.at("gids")[1]);
    const std::string name = described(a, calendar);
    SyncSchema::setApplying(db, true);
    SyncMerge::Effects effects;
    SyncMerge(store_, computer(), clock_).unite(a, b, effects);
    SyncSchema::setApplying(db, false);
    said = "Merged the two projects into " + name + ".";
  } else if (found->kind == "overlap" && request.fix != "keep") {
    // The one made later gives way.
    std::string a = text(detail.at("gids")[0]), b = text(detail.at("gids")[1]);
    const auto made = [&](const std::string& gid) {
      const auto r = db.query("SELECT made_s FROM sync_rows WHERE gid = ?", {gid});
      return r.empty() ? std::int64_t{0} : r.front().integer("made_s");
    };
    if (made(a) > made(b)) std::swap(a, b);
    const auto kept = store_.session(localOf(a)), later = store_.session(localOf(b));
    if (!kept || !later) throw SyncError("Those sessions have changed since. “lumetra-app sync conflicts” lists what is left.");
    const std::string was = described(b, calendar);
    if (request.fix == "delete") {
      store_.deleteSession(later->id);
      said = "Deleted " + was + ".";
    } else {
      Instant start = later->start, end = *later->end;
      if (later->start >= kept->start) start = std::max(start, *kept->end);
      else end = std::min(end, kept->start);
      if (end - start < 1) {
        store_.deleteSession(later->id);
        said = "Deleted " + was + ": nothing of it was left outside the other.";
      } else {
        (void)store_.updateSession(later->id, later->projectId, start, end, now);
        const DateFormat clock("HH:mm", calendar);
        said = "Trimmed " + was + " to " + clock.format(start) + "–" + clock.format(end) + ".";
      }
    }
  } else {
    said = request.fix == "keep" && found->kind == "overlap" ? "Kept both sessions." : "Kept the deletion.";
  }
  db.query("DELETE FROM sync_conflicts WHERE id = ?", {request.id});
  transaction.commit();
  return {said};
}

}  // namespace lumetra
