#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/Error.hpp"
#include "platform/Instant.hpp"
#include "sync/SyncRecord.hpp"

namespace lumetra {

// A folder that can't be used; the description says which and why.
class SyncFolderError final : public MessageError {
 public:
  using MessageError::MessageError;
};

// What a computer says of itself beside its log: its name, the last record it wrote, and the
// session it is tracking now, if any.
struct SyncComputer {
  struct Running {
    std::string gid, project, projectGid;
    double start = 0, active = 0;
    std::optional<std::string> description;
    bool operator==(const Running&) const = default;
  };
  int format = SyncRecord::format;
  std::string id, name;
  std::int64_t last = 0;   // its last record's sequence
  std::int64_t stamp = 0;  // its clock when it wrote this
  double written = 0;      // its wall clock then
  std::optional<Running> running;
  bool operator==(const SyncComputer&) const = default;
};

// The files in a synced folder, under "lumetra-sync": a FORMAT file, and per computer a folder
// that only that computer writes, holding computer.json and its log, append-only segments of
// one record per line named by their first sequence. Nothing here is the database: readers
// take only whole lines whose check holds, so a half-synced file is "not yet", never damage.
// Owner thread only.
class SyncFolder {
 public:
  static constexpr std::string_view folderName = "lumetra-sync";
  static constexpr std::string_view formatText = "lumetra-sync 1\n";
  // A segment is sealed, and a new one begun, past this size or age.
  static constexpr std::uint64_t segmentBytes = 4 * 1024 * 1024;
  static constexpr double segmentSeconds = 31 * 24 * 3600.0;

  // Where a reader has got to in a computer's log.
  struct Position {
    std::string file;
    std::uint64_t offset = 0;
    bool operator==(const Position&) const = default;
  };
  // A complete line that isn't a record, with where it is.
  struct BadLine {
    std::string file;
    std::int64_t line = 0;
    std::string problem;
  };
  // What a read found: records in log order, the lines it skipped, and where the next read
  // begins. `later` when the computer writes a later format than this one reads.
  struct Read {
    std::vector<SyncRecord> records;
    std::vector<BadLine> bad;
    Position next;
    bool later = false;
  };

  // `synced` is the folder the sync engine keeps equal; `computer` this computer's id.
  SyncFolder(std::filesystem::path synced, std::string computer);

  [[nodiscard]] const std::filesystem::path& root() const { return root_; }
  [[nodiscard]] std::filesystem::path computerFolder(const std::string& computer) const;
  [[nodiscard]] std::filesystem::path logFolder(const std::string& computer) const;

  // Creates what is missing (folders 0700, files 0600) and checks the FORMAT. Throws
  // SyncFolderError when the folder can't be made or written, or holds a later format.
  void prepare();

  // Appends the lines, each with its newline, to this computer's current segment (a new one,
  // named by `firstSequence`, once the current is full or old), flushed to disk. Throws
  // SyncFolderError.
  void append(const std::vector<std::string>& lines, std::int64_t firstSequence, Instant now);
  // This computer's own records after `sequence`, read back after a restart; a torn last line
  // (a write cut off) is cut from the file first. The last sequence in the log is `last`.
  [[nodiscard]] std::vector<SyncRecord> ownRecordsAfter(std::int64_t sequence, std::int64_t& last);

  // The computers with a folder here, besides this one.
  [[nodiscard]] std::vector<std::string> others() const;
  [[nodiscard]] std::optional<SyncComputer> computer(const std::string& id) const;
  // Replaces this computer's computer.json. Throws SyncFolderError.
  void publish(const SyncComputer& self);

  // The complete records of a computer's log after `from`, at most `limit`, skipping those up
  // to `applied` when a file must be read from its start (the position's file is gone).
  [[nodiscard]] Read read(const std::string& computer, const Position& from, std::int64_t applied,
                          std::size_t limit) const;
  // Every record in the conflict copies a sync engine left in the computer's log folder
  // (records are idempotent, so reading them again is harmless); with their names and sizes,
  // so that a copy is read once.
  [[nodiscard]] Read conflictCopies(const std::string& computer, std::vector<std::string>& seen) const;

  // Rewrites this computer's sealed segments into one snapshot with only each row's newest
  // value per group (every deletion, source, alias and stop kept), by the original sequence
  // numbers. Returns the bytes saved.
  std::uint64_t compact();

 private:
  // The log's files in sequence order: segments, and snapshots by their first sequence.
  [[nodiscard]] std::vector<std::filesystem::path> logFiles(const std::string& computer) const;

  std::filesystem::path root_;
  std::string computer_;
};

}  // namespace lumetra
