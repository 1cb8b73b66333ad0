#include "sync/SyncEngine.hpp"

#include <algorithm>
#include <set>

#include "control/WireCoding.hpp"
#include "platform/DateFormat.hpp"
#include "platform/FileSystem.hpp"
#include "platform/Numbers.hpp"
#include "platform/ProcessInfo.hpp"
#include "store/Transaction.hpp"
#include "sync/SyncGids.hpp"
#include "sync/SyncOutbox.hpp"
#include "sync/SyncSchema.hpp"

namespace lumetra {

namespace fs = std::filesystem;

namespace {

// This computer's id outlives `sync disable`, so that joining again continues its own log.
constexpr const char* kComputerSetting = "sync_computer";

std::int64_t milliseconds(Instant now) { return static_cast<std::int64_t>(now.seconds * 1000); }

fs::path fullPath(const fs::path& path) {
  std::error_code error;
  fs::path full = fs::weakly_canonical(fs::absolute(path, error), error);
  return error ? path.lexically_normal() : full;
}

bool within(const fs::path& inner, const fs::path& outer) {
  const auto [end, rest] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
  return end == outer.end();
}

// The folder or one above it that a Syncthing keeps, if any.
std::optional<fs::path> syncthingFolder(fs::path path) {
  std::error_code error;
  for (; !path.empty(); path = path.parent_path()) {
    if (fs::exists(path / ".stfolder", error)) return path;
    if (path == path.root_path()) break;
  }
  return std::nullopt;
}

std::string clockTime(double seconds, const Calendar& calendar) {
  return DateFormat("HH:mm", calendar).format(Instant(seconds));
}

}  // namespace

SyncEngine::SyncEngine(Store& store, fs::path dataDirectory)
    : store_(store), dataDirectory_(std::move(dataDirectory)), writer_(SyncGids::hex(12)) {}

bool SyncEngine::enabled() { return SyncSchema::installed(store_.db()) && state("folder").has_value(); }

std::optional<std::string> SyncEngine::state(const std::string& key) {
  const auto rows = store_.db().query("SELECT value FROM sync_state WHERE key = ?", {key});
  if (rows.empty()) return std::nullopt;
  return rows.front().optionalText("value");
}

void SyncEngine::setState(const std::string& key, const std::string& value) {
  store_.db().query("INSERT OR REPLACE INTO sync_state (key, value) VALUES (?, ?)", {key, value});
}

std::string SyncEngine::computer() { return state("computer").value_or(""); }

void SyncEngine::checkPlace(const fs::path& folder) const {
  const fs::path data = fullPath(dataDirectory_);
  if (within(data, folder) || within(folder, data)) {
    throw SyncError("The data folder " + data.string() + " lies inside " + folder.string() +
                    " (or the other way round). Lumetra's database must not be synced as a file: choose a folder "
                    "apart from it.");
  }
  if (const auto kept = syncthingFolder(data)) {
    throw SyncError("The data folder " + data.string() + " lies inside " + kept->string() +
                    ", which Syncthing keeps. Lumetra's database must not be synced as a file: move the data "
                    "folder out of it (LUMETRA_DATA_DIR), then enable sync again.");
  }
}

SyncEnabled SyncEngine::enable(const SyncEnable& request, Instant now) {
  if (request.folder.empty()) throw SyncError("sync enable needs a folder.");
  const fs::path folder = fullPath(request.folder);
  checkPlace(folder);
  const std::string name =
      Store::trimmed(request.name.value_or(enabled() ? state("name").value_or("") : ProcessInfo::hostName()));
  if (name.empty() || name.size() > SyncRecord::maxName) throw SyncError("A computer's name can't be empty.");
  if (enabled()) {
    const std::string current = state("folder").value_or("");
    if (current != folder.string()) {
      throw SyncError("This computer already syncs through " + current +
                      ". To use another folder, run “lumetra-app sync disable” first.");
    }
    SyncEnabled result{current, state("name").value_or(""), computer(), request.dryRun, true, {}};
    if (request.name && *request.name != result.name && !request.dryRun) {
      setState("name", name);
      result.name = name;
      presence_.clear();
    }
    return result;
  }
  std::string id = store_.setting(kComputerSetting).value_or("");
  if (!isComputerId(id)) id = SyncGids::hex(32);

  if (request.dryRun) {
    // The whole first merge, made and then rolled back; nothing is written to the folder.
    Transaction transaction(store_.db());
    SyncSchema::install(store_.db());
    setState("computer", id);
    setState("name", name);
    HybridClock clock(clock_.last());
    SyncOutbox outbox(store_, id);
    outbox.assignIds();
    SyncMerge merge(store_, id, clock);
    for (std::int64_t sequence = 1;;) {
      const auto drained = outbox.drain(clock, milliseconds(now), sequence);
      if (drained.lastEntry == 0) break;
      outbox.written(drained.records, drained.lastEntry, true);
      merge.note(drained.records);
      sequence += static_cast<std::int64_t>(drained.records.size());
    }
    SyncFolder files(folder, id);
    SyncEnabled result{folder.string(), name, id, true, false, {}};
    SyncSchema::setApplying(store_.db(), true);
    for (const auto& other : files.others()) {
      const auto about = files.computer(other);
      if (about && about->format > SyncRecord::format) continue;
      store_.db().query("INSERT OR REPLACE INTO sync_peers (computer, name) VALUES (?, ?)",
                        {other, about ? about->name : other.substr(0, 8)});
      SyncMerge::Effects effects;
      for (SyncFolder::Position position;;) {
        const auto read = files.read(other, position, 0, readBatch);
        SyncMerge(store_, id, clock).apply(read.records, now, effects);
        if (read.records.size() < readBatch || read.later) break;
        position = read.next;
      }
      const auto tally = effects.tallies[other];
      result.computers.push_back({about ? about->name : other.substr(0, 8), tally.sessions, tally.alreadyHere,
                                  tally.added, tally.projectsMerged, tally.overlaps, tally.conflicts});
    }
    return result;  // the transaction rolls back
  }

  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw SyncError("Couldn't create " + folder.string() + ": " + error.message() + ".");
  SyncFolder files(folder, id);
  try {
    files.prepare();
  } catch (const SyncFolderError& failure) {
    throw SyncError(failure.description());
  }
  std::int64_t last = 0;
  (void)files.ownRecordsAfter(INT64_MAX, last);
  {
    Transaction transaction(store_.db());
    SyncSchema::install(store_.db());
    setState("computer", id);
    setState("name", name);
    setState("folder", folder.string());
    setState("sequence", std::to_string(last));
    setState("writer", writer_);
    setState("one_timer", "1");
    store_.setSetting(kComputerSetting, id);
    transaction.commit();
  }
  recovered_ = true;
  SyncEnabled result{folder.string(), name, id, false, false, {}};
  Cycle first = cycle(now);
  while (!first.problem && SyncOutbox(store_, id).pending() > 0) {
    const Cycle more = cycle(now);
    if (more.written == 0) break;
    first.written += more.written;
  }
  if (first.problem) throw SyncError(*first.problem);
  for (const auto& [author, tally] : first.effects.tallies) {
    if (author == id) continue;
    const auto rows = store_.db().query("SELECT name FROM sync_peers WHERE computer = ?", {author});
    result.computers.push_back({rows.empty() ? author.substr(0, 8) : rows.front().optionalText("name").value_or(""),
                                tally.sessions, tally.alreadyHere, tally.added, tally.projectsMerged, tally.overlaps,
                                tally.conflicts});
  }
  return result;
}

SyncDisabled SyncEngine::disable() {
  if (!enabled()) return {false, ""};
  const std::string folder = state("folder").value_or("");
  Transaction transaction(store_.db());
  SyncSchema::remove(store_.db());
  transaction.commit();
  presence_.clear();
  return {true, folder};
}

SyncEngine::Cycle SyncEngine::cycle(Instant now) {
  Cycle cycle;
  if (!enabled()) return cycle;
  const fs::path synced = state("folder").value_or("");
  try {
    std::error_code error;
    if (!fs::is_directory(synced, error)) {
      throw SyncFolderError("The sync folder " + synced.string() +
                            " isn't there. Changes wait here until it is back (or run “lumetra-app sync disable”).");
    }
    clock_ = HybridClock(std::max(clock_.last(), Numbers::wholeNumber(state("clock").value_or("0")).value_or(0)));
    SyncFolder folder(synced, computer());
    folder.prepare();
    recoverOwnLog(now, cycle);
    SyncFolder mine(synced, computer());
    mine.prepare();
    {
      Transaction transaction(store_.db());
      if (!triggersUpdated_) SyncSchema::update(store_.db());  // once a process
      SyncOutbox(store_, computer()).assignIds();
      transaction.commit();
      triggersUpdated_ = true;
    }
    askToStop(now);
    drain(mine, now, cycle);
    readOthers(mine, now, cycle);
    {
      Transaction transaction(store_.db());
      SyncSchema::setApplying(store_.db(), true);
      SyncMerge(store_, computer(), clock_).reconsider(now, cycle.effects);
      SyncSchema::setApplying(store_.db(), false);
      transaction.commit();
    }
    publishPresence(mine, now, false);
    // The own log is rewritten once its sealed segments pile up.
    (void)mine.compact();
    lastProblem_.reset();
  } catch (const std::exception& failure) {
    const std::string problem = describe(failure);
    if (problem != lastProblem_) cycle.problem = problem;
    lastProblem_ = problem;
  }
  return cycle;
}

void SyncEngine::recoverOwnLog(Instant now, Cycle& cycle) {
  SyncFolder folder(state("folder").value_or(""), computer());
  const auto sequence = Numbers::wholeNumber(state("sequence").value_or("0")).value_or(0);
  std::error_code error;
  std::uintmax_t size = 0;
  for (fs::directory_iterator it(folder.logFolder(computer()), error), end; !error && it != end; it.increment(error)) {
    size += it->file_size(error);
  }
  if (recovered_ && size == ownLogSize_) return;
  std::int64_t last = 0;
  const auto records = folder.ownRecordsAfter(sequence, last);
  const std::string before = state("writer").value_or("");
  const bool mine = std::all_of(records.begin(), records.end(), [&](const SyncRecord& r) {
    return r.writer == writer_ || (!recovered_ && r.writer == before);
  });
  if (!records.empty() && !mine) {
    // Another computer writes under this one's id (a copied home folder, a restored backup):
    // this one takes a new id, and the other's log is read like any other computer's.
    const std::string old = computer();
    const std::string id = SyncGids::hex(32);
    Transaction transaction(store_.db());
    setState("computer", id);
    setState("sequence", "0");
    store_.setSetting(kComputerSetting, id);
    transaction.commit();
    cycle.notice = "Another computer writes to the sync folder as this one (" + old.substr(0, 8) +
                   "), perhaps a copied home folder or a restored backup. This computer now writes as " +
                   id.substr(0, 8) + ".";
    presence_.clear();
    ownLogSize_ = 0;
    recovered_ = true;
    return;
  }
  if (!records.empty()) {
    // Written before the store noted it (a crash, a full disk): noted now, and the changes they
    // hold leave the outbox; the rest of that drain is written again.
    Transaction transaction(store_.db());
    const auto upTo = Numbers::wholeNumber(state("draining").value_or("0")).value_or(0);
    SyncOutbox(store_, computer()).written(records, upTo, false);
    SyncMerge(store_, computer(), clock_).note(records);
    setState("sequence", std::to_string(last));
    setState("draining", "0");
    setState("clock", std::to_string(clock_.last()));
    transaction.commit();
  }
  if (!recovered_) setState("writer", writer_);
  recovered_ = true;
  size = 0;
  for (fs::directory_iterator it(folder.logFolder(computer()), error), end; !error && it != end; it.increment(error)) {
    size += it->file_size(error);
  }
  ownLogSize_ = size;
  (void)now;
}

void SyncEngine::drain(SyncFolder& folder, Instant now, Cycle& cycle) {
  const std::string me = computer();
  SyncOutbox outbox(store_, me);
  for (;;) {
    auto sequence = Numbers::wholeNumber(state("sequence").value_or("0")).value_or(0);
    auto drained = outbox.drain(clock_, milliseconds(now), sequence + 1);
    if (drained.lastEntry == 0) return;
    std::vector<std::string> lines;
    for (auto& record : drained.records) {
      record.writer = writer_;
      lines.push_back(record.encoded());
    }
    // Where this drain ends, kept before writing, so that a restart can tell its entries.
    setState("draining", std::to_string(drained.lastEntry));
    folder.append(lines, sequence + 1, now);
    if (TEST_crashAt) TEST_crashAt("appended");
    std::error_code error;
    std::uintmax_t size = 0;
    for (fs::directory_iterator it(folder.logFolder(me), error), end; !error && it != end; it.increment(error)) {
      size += it->file_size(error);
    }
    ownLogSize_ = size;
    // A restore or a lost computer's session is new to these tables too: merged in full.
    std::vector<SyncRecord> noted, merged;
    for (auto& record : drained.records) {
      const bool outside = (record.has(SyncGroup::live) && record.live && !record.created) ||
                           (record.created && record.kind == SyncKind::session && record.span.reason == EndReason::recovered &&
                            !sessionLocal(record.gid));
      (outside ? merged : noted).push_back(record);
    }
    Transaction transaction(store_.db());
    outbox.written(drained.records, drained.lastEntry, true);
    setState("draining", "0");
    SyncMerge merge(store_, me, clock_);
    merge.note(noted);
    if (!merged.empty()) {
      SyncSchema::setApplying(store_.db(), true);
      merge.apply(merged, now, cycle.effects);
      SyncSchema::setApplying(store_.db(), false);
    }
    setState("sequence", std::to_string(sequence + static_cast<std::int64_t>(drained.records.size())));
    setState("clock", std::to_string(clock_.last()));
    transaction.commit();
    cycle.written += static_cast<std::int64_t>(drained.records.size());
  }
}

bool SyncEngine::sessionLocal(const std::string& gid) {
  return !store_.db().query("SELECT 1 FROM sync_ids WHERE kind = 'session' AND gid = ?", {gid}).empty();
}

std::optional<std::string> SyncEngine::sessionGid(std::int64_t sessionId) {
  if (!enabled()) return std::nullopt;
  const auto rows = store_.db().query("SELECT gid FROM sync_ids WHERE kind = 'session' AND local_id = ?", {sessionId});
  if (rows.empty()) return std::nullopt;
  return rows.front().optionalText("gid");
}

void SyncEngine::publishPresence(SyncFolder& folder, Instant now, bool force) {
  SyncComputer self;
  self.id = computer();
  self.name = state("name").value_or("");
  if (const auto open = store_.openSession()) {
    const auto gid = sessionGid(open->id);
    const auto project = store_.project(open->projectId);
    const auto projectGid = store_.db().query("SELECT gid FROM sync_ids WHERE kind = 'project' AND local_id = ?",
                                              {open->projectId});
    if (gid && project && !projectGid.empty()) {
      self.running = SyncComputer::Running{*gid, project->name, projectGid.front().optionalText("gid").value_or(""),
                                           open->start.seconds, open->lastActive.seconds, open->description};
    }
  }
  self.last = Numbers::wholeNumber(state("sequence").value_or("0")).value_or(0);
  // What it says, apart from when it says it: rewritten when that changes, and now and then
  // while a session runs so the others see this computer is still there.
  const std::string said = WireCoding::compact(JSON{{"name", self.name},
                                                    {"last", self.last},
                                                    {"running", self.running ? self.running->gid : ""}});
  if (!force && said == presence_ && (!self.running || now.seconds - presenceWritten_ < presenceInterval)) return;
  self.stamp = clock_.last();
  self.written = now.seconds;
  folder.publish(self);
  presence_ = said;
  presenceWritten_ = now.seconds;
}

void SyncEngine::askToStop(Instant now) {
  if (state("one_timer").value_or("1") != "1") return;
  const auto open = store_.openSession();
  if (!open) return;
  for (const auto& peer : store_.db().query("SELECT computer, running FROM sync_peers WHERE forgotten = 0 AND "
                                            "later = 0 AND running IS NOT NULL")) {
    try {
      const JSON running = WireCoding::parse(peer.optionalText("running").value_or(""));
      const std::string gid = running.at("gid").get<std::string>();
      // The later start wins: only the computer that started last asks.
      if (running.at("start").get<double>() >= open->start.seconds) continue;
      store_.db().query("INSERT OR IGNORE INTO sync_stops (gid, at) VALUES (?, ?)", {gid, open->start.seconds});
      if (store_.db().changes() == 0) continue;
      store_.db().query("INSERT INTO sync_outbox (kind, local_id, gid, source, grp) VALUES ('stop', ?, ?, ?, 'stop')",
                        {milliseconds(open->start), gid, peer.optionalText("computer").value_or("")});
    } catch (const std::exception&) {
      continue;
    }
  }
  (void)now;
}

void SyncEngine::readOthers(SyncFolder& folder, Instant now, Cycle& cycle) {
  const std::string me = computer();
  for (const auto& other : folder.others()) {
    const auto about = folder.computer(other);
    auto rows = store_.db().query("SELECT * FROM sync_peers WHERE computer = ?", {other});
    if (rows.empty()) {
      store_.db().query("INSERT INTO sync_peers (computer, name) VALUES (?, ?)",
                        {other, about ? about->name : other.substr(0, 8)});
      rows = store_.db().query("SELECT * FROM sync_peers WHERE computer = ?", {other});
    }
    const Row peer = rows.front();
    std::int64_t applied = peer.integer("applied");
    if (about) {
      const double ahead = std::max(about->written - now.seconds,
                                    static_cast<double>(HybridClock::milliseconds(about->stamp)) / 1000.0 - now.seconds);
      JSON running = nullptr;
      if (about->running) {
        running = {{"gid", about->running->gid}, {"project", about->running->project},
                   {"project_gid", about->running->projectGid}, {"start", about->running->start},
                   {"active", about->running->active}};
        if (about->running->description) running["description"] = *about->running->description;
      }
      // A computer forgotten and back again is listed again.
      const bool back = peer.integer("forgotten") != 0 && about->last > peer.integer("last");
      store_.db().query("UPDATE sync_peers SET name = ?, last = ?, written = ?, ahead = ?, running = ?, later = ?, "
                        "forgotten = forgotten AND NOT ? WHERE computer = ?",
                        {about->name, about->last, about->written, ahead > 60 ? ahead : 0.0,
                         running.is_null() ? SQLValue() : SQLValue(WireCoding::compact(running)),
                         about->format > SyncRecord::format ? 1 : 0, back ? 1 : 0, other});
      if (about->format > SyncRecord::format) continue;
    }
    if (peer.integer("later") != 0 && !(about && about->format <= SyncRecord::format)) continue;
    SyncFolder::Position position{peer.optionalText("file").value_or(""),
                                  static_cast<std::uint64_t>(peer.integer("offset"))};
    for (;;) {
      const auto read = folder.read(other, position, applied, readBatch);
      Transaction transaction(store_.db());
      SyncSchema::setApplying(store_.db(), true);
      SyncMerge(store_, me, clock_).apply(read.records, now, cycle.effects);
      SyncSchema::setApplying(store_.db(), false);
      for (const auto& record : read.records) applied = std::max(applied, record.sequence);
      for (const auto& bad : read.bad) {
        store_.db().query("INSERT OR IGNORE INTO sync_bad (computer, file, line, problem) VALUES (?, ?, ?, ?)",
                          {other, bad.file, bad.line, bad.problem});
      }
      store_.db().query("UPDATE sync_peers SET applied = ?, file = ?, offset = ?, later = ? WHERE computer = ?",
                        {applied, read.next.file, static_cast<std::int64_t>(read.next.offset), read.later ? 1 : 0, other});
      setState("clock", std::to_string(clock_.last()));
      if (TEST_crashAt) TEST_crashAt("applied");
      transaction.commit();
      cycle.read += static_cast<std::int64_t>(read.records.size());
      position = read.next;
      if (read.records.size() < readBatch || read.later) break;
    }
    // What a sync engine kept aside when two versions of a file met.
    std::vector<std::string> seen;
    try {
      for (const auto& name : WireCoding::parse(peer.optionalText("copies").value_or("[]"))) {
        seen.push_back(name.get<std::string>());
      }
    } catch (const std::exception&) {
    }
    const auto copies = folder.conflictCopies(other, seen);
    if (!copies.records.empty() || seen.size() != WireCoding::parse(peer.optionalText("copies").value_or("[]")).size()) {
      Transaction transaction(store_.db());
      SyncSchema::setApplying(store_.db(), true);
      std::vector<SyncRecord> foreign;
      for (const auto& record : copies.records) {
        if (record.author != me) foreign.push_back(record);
      }
      SyncMerge(store_, me, clock_).apply(foreign, now, cycle.effects);
      SyncSchema::setApplying(store_.db(), false);
      store_.db().query("UPDATE sync_peers SET copies = ? WHERE computer = ?", {WireCoding::compact(JSON(seen)), other});
      transaction.commit();
      cycle.read += static_cast<std::int64_t>(foreign.size());
    }
  }
}

SyncStatus SyncEngine::status(Instant now, const Calendar& calendar) {
  SyncStatus status;
  status.enabled = enabled();
  if (!status.enabled) return status;
  status.computer = computer();
  status.name = state("name").value_or("");
  status.folder = state("folder").value_or("");
  status.engine = syncthingFolder(fs::path(status.folder)) ? "Syncthing" : "none found";
  status.pending = SyncOutbox(store_, status.computer).pending();
  status.conflicts = static_cast<std::int64_t>(conflicts(calendar).conflicts.size());
  status.badLines = store_.db().query("SELECT count(*) AS n FROM sync_bad").front().integer("n");
  status.oneTimer = state("one_timer").value_or("1") == "1";
  status.problem = lastProblem_;
  for (const auto& row : store_.db().query("SELECT * FROM sync_peers ORDER BY name, computer")) {
    SyncPeer peer;
    peer.id = row.optionalText("computer").value_or("");
    peer.name = row.optionalText("name").value_or("");
    peer.lastRecord = row.integer("applied");
    if (const auto written = row.optionalDouble("written")) peer.lastWritten = Instant(*written);
    peer.behind = std::max<std::int64_t>(0, row.integer("last") - peer.lastRecord);
    peer.clockAhead = row.optionalDouble("ahead").value_or(0);
    peer.laterFormat = row.integer("later") != 0;
    peer.forgotten = row.integer("forgotten") != 0;
    if (const auto running = row.optionalText("running"); running && !peer.forgotten) {
      try {
        const JSON r = WireCoding::parse(*running);
        peer.running = r.at("project").get<std::string>() + " since " + clockTime(r.at("start").get<double>(), calendar);
        peer.runningSince = Instant(r.at("start").get<double>());
      } catch (const std::exception&) {
      }
    }
    status.computers.push_back(std::move(peer));
  }
  (void)now;
  return status;
}

std::vector<SyncPeer> SyncEngine::elsewhere(const Calendar& calendar) {
  std::vector<SyncPeer> running;
  if (!enabled()) return running;
  for (auto& peer : status(Instant(), calendar).computers) {
    if (peer.running && !peer.forgotten && !peer.laterFormat) running.push_back(std::move(peer));
  }
  return running;
}

std::optional<fs::path> SyncEngine::folder() {
  if (!enabled()) return std::nullopt;
  return fs::path(state("folder").value_or(""));
}

std::vector<fs::path> SyncEngine::watched() {
  std::vector<fs::path> folders;
  const auto synced = folder();
  if (!synced) return folders;
  SyncFolder files(*synced, computer());
  folders.push_back(files.root() / "computers");
  for (const auto& other : files.others()) {
    folders.push_back(files.computerFolder(other));
    folders.push_back(files.logFolder(other));
  }
  return folders;
}

SyncOneTimerSetting SyncEngine::oneTimer(const SyncOneTimer& request) {
  if (!enabled()) throw SyncError("Sync is off. Turn it on with “lumetra-app sync enable FOLDER”.");
  if (request.on) setState("one_timer", *request.on ? "1" : "0");
  return {state("one_timer").value_or("1") == "1"};
}

SyncForgotten SyncEngine::forget(const SyncForget& request, Instant now) {
  if (!enabled()) throw SyncError("Sync is off. Turn it on with “lumetra-app sync enable FOLDER”.");
  std::optional<Row> found;
  for (const auto& row : store_.db().query("SELECT * FROM sync_peers")) {
    const std::string id = row.optionalText("computer").value_or("");
    if (Store::foldedName(row.optionalText("name").value_or("")) == Store::foldedName(request.computer) ||
        (request.computer.size() >= 4 && id.starts_with(request.computer))) {
      found = row;
      break;
    }
  }
  if (!found) {
    throw SyncError("No other computer is called " + curlyQuoted(request.computer) +
                    ". “lumetra-app sync status” lists them.");
  }
  SyncForgotten result{found->optionalText("name").value_or(""), std::nullopt};
  Transaction transaction(store_.db());
  if (const auto running = found->optionalText("running")) {
    store_.db().query("INSERT INTO sync_outbox (kind, gid, source, grp) VALUES ('forget', ?, ?, 'forget')",
                      {WireCoding::parse(*running).at("gid").get<std::string>(), *running});
    const JSON r = WireCoding::parse(*running);
    result.closed = r.at("project").get<std::string>();
  }
  store_.db().query("UPDATE sync_peers SET forgotten = 1, running = NULL WHERE computer = ?",
                    {found->optionalText("computer").value_or("")});
  transaction.commit();
  (void)now;
  return result;
}

}  // namespace lumetra
