#pragma once

// Several computers, one history: what each sync action takes and answers.
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Instant.hpp"
#include "platform/WireField.hpp"

namespace lumetra {

struct SyncEnable {
  std::string folder;
  std::optional<std::string> name;
  bool dryRun = false;

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SyncEnable;
    return std::tuple{WireField{"folder", &R::folder}, WireField{"name", &R::name}, WireField{"dry_run", &R::dryRun}};
  }
};

// What the first sync brought from one other computer.
struct SyncTally {
  std::string computer;  // its name
  std::int64_t sessions = 0, alreadyHere = 0, added = 0, projectsMerged = 0, overlaps = 0, conflicts = 0;

  static constexpr auto wireFields() {
    using R = SyncTally;
    return std::tuple{WireField{"computer", &R::computer},          WireField{"sessions", &R::sessions},
                      WireField{"already_here", &R::alreadyHere},   WireField{"new", &R::added},
                      WireField{"projects_merged", &R::projectsMerged}, WireField{"overlaps", &R::overlaps},
                      WireField{"conflicts", &R::conflicts}};
  }
};

struct SyncEnabled {
  std::string folder, name, computer;
  bool dryRun = false, already = false;
  std::vector<SyncTally> computers;

  static constexpr auto wireFields() {
    using R = SyncEnabled;
    return std::tuple{WireField{"folder", &R::folder},   WireField{"name", &R::name},
                      WireField{"computer", &R::computer}, WireField{"dry_run", &R::dryRun},
                      WireField{"already", &R::already}, WireField{"computers", &R::computers}};
  }
};

struct SyncStatusRequest {
  static constexpr auto wireFields() { return std::tuple{}; }
};

// Another computer, as this one last read it.
struct SyncPeer {
  std::string id, name;
  std::int64_t lastRecord = 0;          // the last record of its that this computer applied
  std::optional<Instant> lastWritten;   // when it last wrote, by its own clock
  std::int64_t behind = 0;              // records it says it wrote that aren't read here yet
  double clockAhead = 0;                // seconds its clock runs ahead of this one's, when noticeable
  std::optional<std::string> running;   // "Garden since 09:12"
  std::optional<Instant> runningSince;
  bool laterFormat = false, forgotten = false;

  static constexpr bool wireOmitsAbsent = false;
  static constexpr auto wireFields() {
    using R = SyncPeer;
    return std::tuple{WireField{"id", &R::id},
                      WireField{"name", &R::name},
                      WireField{"last_record", &R::lastRecord},
                      WireField{"last_written", &R::lastWritten},
                      WireField{"behind", &R::behind},
                      WireField{"clock_ahead", &R::clockAhead},
                      WireField{"running", &R::running},
                      WireField{"running_since", &R::runningSince},
                      WireField{"later_format", &R::laterFormat},
                      WireField{"forgotten", &R::forgotten}};
  }
};

struct SyncStatus {
  bool enabled = false;
  std::string computer, name, folder, engine;
  std::vector<SyncPeer> computers;
  std::int64_t pending = 0, conflicts = 0, badLines = 0;
  bool oneTimer = true;
  std::optional<std::string> problem;  // why the last sync didn't finish

  static constexpr auto wireFields() {
    using R = SyncStatus;
    return std::tuple{WireField{"enabled", &R::enabled},     WireField{"computer", &R::computer},
                      WireField{"name", &R::name},           WireField{"folder", &R::folder},
                      WireField{"engine", &R::engine},       WireField{"computers", &R::computers},
                      WireField{"pending", &R::pending},     WireField{"conflicts", &R::conflicts},
                      WireField{"bad_lines", &R::badLines},  WireField{"one_timer", &R::oneTimer},
                      WireField{"problem", &R::problem}};
  }
};

struct SyncNow {
  static constexpr auto wireFields() { return std::tuple{}; }
};

struct SyncDone {
  std::int64_t written = 0, read = 0;  // records
  bool rescanned = false;              // a Syncthing was asked to look at the folder
  std::optional<std::string> problem;

  static constexpr auto wireFields() {
    using R = SyncDone;
    return std::tuple{WireField{"written", &R::written}, WireField{"read", &R::read},
                      WireField{"rescanned", &R::rescanned}, WireField{"problem", &R::problem}};
  }
};

struct SyncConflictsRequest {
  static constexpr auto wireFields() { return std::tuple{}; }
};

// Something two computers did that a person should look at, and what can be done about it.
struct SyncConflict {
  std::int64_t id = 0;
  std::string kind;   // "deleted-edit", "deleted-project", "name", "overlap"
  std::string text;   // the sentence
  std::vector<std::string> fixes;

  static constexpr auto wireFields() {
    using R = SyncConflict;
    return std::tuple{WireField{"id", &R::id}, WireField{"kind", &R::kind}, WireField{"text", &R::text},
                      WireField{"fixes", &R::fixes}};
  }
};

struct SyncConflicts {
  std::vector<SyncConflict> conflicts;

  static constexpr auto wireFields() { return std::tuple{WireField{"conflicts", &SyncConflicts::conflicts}}; }
};

struct SyncResolve {
  std::int64_t id = 0;
  std::string fix;
  std::optional<std::string> name;  // for rename

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() {
    using R = SyncResolve;
    return std::tuple{WireField{"id", &R::id}, WireField{"fix", &R::fix}, WireField{"name", &R::name}};
  }
};

struct SyncResolved {
  std::string text;  // what was done

  static constexpr auto wireFields() { return std::tuple{WireField{"text", &SyncResolved::text}}; }
};

struct SyncForget {
  std::string computer;  // its name or id

  static constexpr auto wireFields() { return std::tuple{WireField{"computer", &SyncForget::computer}}; }
};

struct SyncForgotten {
  std::string name;
  std::optional<std::string> closed;  // the running session it left, now ended

  static constexpr auto wireFields() {
    return std::tuple{WireField{"name", &SyncForgotten::name}, WireField{"closed", &SyncForgotten::closed}};
  }
};

struct SyncDisable {
  static constexpr auto wireFields() { return std::tuple{}; }
};

struct SyncDisabled {
  bool was = false;
  std::string folder;

  static constexpr auto wireFields() {
    return std::tuple{WireField{"was", &SyncDisabled::was}, WireField{"folder", &SyncDisabled::folder}};
  }
};

struct SyncOneTimer {
  std::optional<bool> on;  // shown when left out

  static constexpr bool wireOmitsAbsent = true;
  static constexpr auto wireFields() { return std::tuple{WireField{"on", &SyncOneTimer::on}}; }
};

struct SyncOneTimerSetting {
  bool on = true;

  static constexpr auto wireFields() { return std::tuple{WireField{"on", &SyncOneTimerSetting::on}}; }
};

}  // namespace lumetra
