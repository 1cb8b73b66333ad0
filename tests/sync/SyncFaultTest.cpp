// What goes wrong with a synced folder, a case each: two computers, each a real store and
// tracker, sharing one folder as if the sync engine were instant (and the cases that need it
// cut, copy or break the files themselves).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <map>

#include "platform/FileSystem.hpp"
#include "support/TestSupport.hpp"
#include "sync/SyncEngine.hpp"
#include "sync/SyncFolder.hpp"
#include "sync/SyncGids.hpp"
#include "tracking/Tracker.hpp"

namespace lumetra {
namespace {

namespace fs = std::filesystem;

struct Computer {
  fs::path data;
  std::unique_ptr<Store> store;
  std::unique_ptr<Tracker> tracker;
  std::unique_ptr<SyncEngine> engine;

  Computer(const fs::path& root, const std::string& name, Instant now) : data(root / name) {
    fs::create_directories(data);
    restart(now);
  }
  void restart(Instant now) {
    engine.reset();
    tracker.reset();
    store = std::make_unique<Store>((data / "lumetra.sqlite").string());
    tracker = std::make_unique<Tracker>(*store, 600, now);
    engine = std::make_unique<SyncEngine>(*store, data);
  }
  std::int64_t count(const std::string& sql) { return store->db().query(sql).front().integer("n"); }
  std::string id() { return engine->status(Instant(), Calendar("UTC")).computer; }
  fs::path log(const fs::path& synced) { return synced / "lumetra-sync" / "computers" / id() / "log" / "000000000001.jsonl"; }
};

struct World {
  bool seeded = (SyncGids::TEST_seed(7), true);  // first: every id below follows it
  test::TemporaryDirectory root{true};
  fs::path synced = root / "Sync";
  Instant now{1.75e9};
  Computer a{root.path(), "a", now}, b{root.path(), "b", now};

  World() {
    fs::create_directories(synced);
    (void)a.engine->enable({synced.string(), "A", false}, now);
    (void)b.engine->enable({synced.string(), "B", false}, now);
  }
  std::int64_t garden(Computer& c) {
    for (const auto& p : c.store->projects(true)) {
      if (p.name == "Garden") return p.id;
    }
    return c.tracker->createProject("Garden", now).id;
  }
  WorkSession added(Computer& c, double offset, double length = 600) {
    return c.tracker->addSession(garden(c), now - 7200 + offset, now - 7200 + offset + length, std::nullopt, now);
  }
  void both() {
    for (int i = 0; i < 2; ++i) {
      now = now + 1;
      (void)a.engine->cycle(now);
      (void)b.engine->cycle(now);
    }
  }
};

using Case = std::function<std::string(World&)>;

const std::vector<std::pair<std::string, Case>> kCases{
    {"a deleted session's id given again is another session",
     [](World& w) {
       const auto first = w.added(w.a, 0);
       w.both();
       w.a.tracker->deleteSession(first.id);
       const auto second = w.added(w.a, 1000);
       w.both();
       return second.id == first.id && w.b.count("SELECT count(*) AS n FROM sessions") == 1 ? "" : "reused id mixed up";
     }},
    {"a torn last line waits, then is read whole",
     [](World& w) {
       (void)w.added(w.a, 0);
       w.both();
       const fs::path log = w.a.log(w.synced);
       const std::string bytes = FileSystem::readFile(log);
       (void)w.added(w.a, 1000);
       (void)w.a.engine->cycle(w.now);
       const std::string grown = FileSystem::readFile(log);
       std::ofstream(log, std::ios::trunc) << grown.substr(0, bytes.size() + 40);  // half a line arrived
       (void)w.b.engine->cycle(w.now);
       const auto half = w.b.count("SELECT count(*) AS n FROM sessions");
       std::ofstream(log, std::ios::trunc) << grown;
       (void)w.b.engine->cycle(w.now);
       return half == 1 && w.b.count("SELECT count(*) AS n FROM sessions") == 2 ? "" : "torn line mishandled";
     }},
    {"a damaged line in the middle is listed and skipped",
     [](World& w) {
       (void)w.added(w.a, 0);
       w.both();  // B reads on from the middle of the file
       for (double at : {1000.0, 2000.0, 3000.0}) (void)w.added(w.a, at);
       (void)w.a.engine->cycle(w.now);
       const fs::path log = w.a.log(w.synced);
       std::string bytes = FileSystem::readFile(log);
       const auto second = bytes.find('\n', bytes.find("\"span\"", bytes.find("\"span\"") + 1)) + 1;
       bytes[bytes.find("\"span\"", second) + 9] ^= 1;  // one flipped bit
       std::ofstream(log, std::ios::trunc) << bytes;
       (void)w.b.engine->cycle(w.now);
       const auto line = std::count(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(second), '\n') + 1;
       return w.b.count("SELECT count(*) AS n FROM sessions") == 3 &&
                      w.b.count("SELECT count(*) AS n FROM sync_bad WHERE line = " + std::to_string(line)) == 1
                  ? ""
                  : "damaged line mishandled";
     }},
    {"a sync engine's conflict copy is read too",
     [](World& w) {
       (void)w.added(w.a, 0);
       (void)w.a.engine->cycle(w.now);
       const fs::path log = w.a.log(w.synced);
       fs::copy_file(log, log.parent_path() / "000000000001.sync-conflict-20261207-101010-ABCDEFG.jsonl");
       std::ofstream(log, std::ios::trunc);  // the other version won, empty
       (void)w.b.engine->cycle(w.now);
       return w.b.count("SELECT count(*) AS n FROM sessions") == 1 ? "" : "conflict copy not read";
     }},
    {"a copied computer takes a new id and says so",
     [](World& w) {
       (void)w.added(w.a, 0);
       w.both();
       // The laptop's data copied to a second machine, which writes under the same id.
       fs::copy(w.a.data, w.root / "clone", fs::copy_options::recursive);
       Computer clone(w.root.path(), "clone", w.now);
       (void)w.added(clone, 3000);
       (void)clone.engine->cycle(w.now);
       (void)w.added(w.a, 5000);
       const auto cycle = w.a.engine->cycle(w.now);
       return cycle.notice && cycle.notice->find("Another computer writes") != std::string::npos ? "" : "clone unnoticed";
     }},
    {"a clock years ahead moves this one an hour at most, and is reported",
     [](World& w) {
       (void)w.added(w.a, 0);
       w.both();
       SyncFolder files(w.synced, w.a.id());
       SyncComputer ahead{1, w.a.id(), "A", 1, HybridClock::fromMilliseconds(static_cast<std::int64_t>(w.now.seconds * 1000) + 3LL * 365 * 86400000),
                          w.now.seconds + 3 * 365 * 86400.0, std::nullopt};
       files.publish(ahead);
       (void)w.b.engine->cycle(w.now);
       const auto peers = w.b.engine->status(w.now, Calendar("UTC")).computers;
       return !peers.empty() && peers.front().clockAhead > 86400 ? "" : "clock not reported";
     }},
    {"a peer's log cut shorter or deleted stops nothing",
     [](World& w) {
       (void)w.added(w.a, 0);
       w.both();
       fs::remove(w.a.log(w.synced));
       (void)w.added(w.b, 1000);
       w.both();
       return w.a.count("SELECT count(*) AS n FROM sessions") == 2 ? "" : "reading stopped";
     }},
    {"the folder gone: changes wait, then go",
     [](World& w) {
       fs::rename(w.synced, w.root / "away");
       (void)w.added(w.a, 0);
       const auto missing = w.a.engine->cycle(w.now);
       const auto waiting = w.a.engine->status(w.now, Calendar("UTC")).pending;
       fs::rename(w.root / "away", w.synced);
       w.both();
       return missing.problem && waiting > 0 && w.b.count("SELECT count(*) AS n FROM sessions") == 1 ? "" : "queue lost";
     }},
    {"a full disk while writing: nothing lost, nothing twice",
     [](World& w) {
       (void)w.added(w.a, 0);
       w.both();
       for (double at = 1000; at < 1600; at += 100) (void)w.added(w.a, at, 50);
       std::signal(SIGXFSZ, SIG_IGN);
       rlimit limit{};
       ::getrlimit(RLIMIT_FSIZE, &limit);
       const rlimit small{static_cast<rlim_t>(fs::file_size(w.a.log(w.synced)) + 300), limit.rlim_max};
       ::setrlimit(RLIMIT_FSIZE, &small);
       const auto full = w.a.engine->cycle(w.now);
       ::setrlimit(RLIMIT_FSIZE, &limit);
       w.both();
       std::string lines = FileSystem::readFile(w.a.log(w.synced));
       const auto records = std::count(lines.begin(), lines.end(), '\n');
       return full.problem && w.b.count("SELECT count(*) AS n FROM sessions") == 7 && records == 1 + 1 + 6 ? ""
                                                                                                      : "full disk mishandled";
     }},
    {"a later format is refused, a later computer is only reported",
     [](World& w) {
       SyncFolder files(w.synced, w.a.id());
       SyncComputer later{SyncRecord::format + 1, w.a.id(), "A", 0, 0, w.now.seconds, std::nullopt};
       files.publish(later);
       (void)w.b.engine->cycle(w.now);
       const bool reported = w.b.engine->status(w.now, Calendar("UTC")).computers.front().laterFormat;
       std::ofstream(w.synced / "lumetra-sync" / "FORMAT", std::ios::trunc) << "lumetra-sync 2\n";
       const auto refused = w.b.engine->cycle(w.now);
       return reported && refused.problem && refused.problem->find("later Lumetra") != std::string::npos ? "" : "later format";
     }},
    {"a data folder inside the synced one is refused",
     [](World& w) {
       Computer inside(w.synced, "data", w.now);
       try {
         (void)inside.engine->disable();
         (void)inside.engine->enable({w.synced.string(), "C", false}, w.now);
       } catch (const SyncError& error) {
         return error.description().find("must not be synced as a file") != std::string::npos ? "" : "wrong sentence";
       }
       return "not refused";
     }},
    {"whatever the umask, the folder is its owner's alone, a compacted log too",
     [](World& w) {
       const mode_t mask = ::umask(022);
       fs::remove(w.synced / "lumetra-sync" / "FORMAT");
       for (int month = 0; month < 4; ++month) {  // a segment sealed each month, then compacted
         (void)w.added(w.a, month * 1000.0);
         w.now = w.now + 32 * 24 * 3600.0;
         (void)w.a.engine->cycle(w.now);
       }
       (void)w.b.engine->cycle(w.now);
       ::umask(mask);
       std::string open;
       for (const auto& entry : fs::recursive_directory_iterator(w.synced)) {
         const auto mode = entry.status().permissions() & fs::perms::all;
         if (mode != (entry.is_directory() ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write)) {
           open += entry.path().filename().string() + " ";
         }
       }
       const bool compacted = !fs::is_regular_file(w.a.log(w.synced));
       return compacted ? open : "never compacted";
     }},
    {"a cycle with nothing new touches nothing in the folder (a sync engine would wait on it)",
     [](World& w) {
       (void)w.added(w.a, 0);
       w.both();
       const auto changes = [&] {
         std::map<std::string, std::int64_t> changed;
         for (const auto& entry : fs::recursive_directory_iterator(w.synced)) {
           struct stat about {};
           ::stat(entry.path().c_str(), &about);
           changed[entry.path().string()] = about.st_ctim.tv_sec * 1000000000LL + about.st_ctim.tv_nsec;
         }
         return changed;
       };
       const auto before = changes();
       w.both();
       return changes() == before ? "" : "files touched";
     }},
    {"two starts at once: the later one stops the other",
     [](World& w) {
       (void)w.a.tracker->start(w.garden(w.a), std::nullopt, w.now);
       w.both();
       (void)w.b.tracker->start(w.garden(w.b), std::nullopt, w.now + 5);
       w.now = w.now + 10;
       (void)w.b.engine->cycle(w.now);
       const auto stops = w.a.engine->cycle(w.now).effects.stops;
       return stops.size() == 1 && w.b.engine->cycle(w.now).effects.stops.empty() ? "" : "one timer";
     }},
    {"a project deleted while tracked elsewhere stays, archived, and is listed",
     [](World& w) {
       (void)w.added(w.a, 0);
       w.both();
       (void)w.added(w.b, 1000);  // B's session A never sees before deleting
       w.a.tracker->deleteProject(w.garden(w.a), w.now);
       w.both();
       const auto kept = w.a.store->projects(true);
       const auto conflicts = w.a.engine->conflicts(Calendar("UTC")).conflicts;
       return kept.size() == 1 && kept.front().archived && w.b.count("SELECT count(*) AS n FROM sessions") == 1 &&
                      !conflicts.empty() && conflicts.front().kind == "deleted-project"
                  ? ""
                  : "deleted project mishandled";
     }},
};

TEST(SyncFaultTest, EachFaultIsMetAsTheRulesSay) {
  for (const auto& [name, check] : kCases) {
    World world;
    EXPECT_EQ(check(world), "") << name;
  }
}

}  // namespace
}  // namespace lumetra
