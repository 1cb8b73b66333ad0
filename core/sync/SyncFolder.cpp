#include "sync/SyncFolder.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <system_error>

#include "control/WireCoding.hpp"
#include "platform/FileSystem.hpp"
#include "sync/HybridClock.hpp"

namespace lumetra {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSegmentSuffix = ".jsonl";
constexpr std::string_view kSnapshotPrefix = "snap-";
constexpr std::string_view kConflictMark = ".sync-conflict-";
// The history is for its owner alone, whatever the umask.
constexpr unsigned kFileMode = 0600;

// The first sequence a log file holds, from its name: "000000000001.jsonl" or
// "snap-000000000001-000000000500.jsonl"; nothing for any other file.
std::optional<std::int64_t> firstSequence(const std::string& name) {
  if (!name.ends_with(kSegmentSuffix) || name.find(kConflictMark) != std::string::npos) return std::nullopt;
  std::string_view digits(name);
  digits.remove_suffix(kSegmentSuffix.size());
  if (digits.starts_with(kSnapshotPrefix)) {
    digits.remove_prefix(kSnapshotPrefix.size());
    digits = digits.substr(0, digits.find('-'));
  }
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (digits.size() != 12 || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return number;
}

std::string numbered(std::int64_t sequence) {
  char name[32];
  std::snprintf(name, sizeof name, "%012lld", static_cast<long long>(sequence));
  return name;
}

[[noreturn]] void cant(const std::string& what, const fs::path& path, int error) {
  throw SyncFolderError("Couldn't " + what + " " + path.string() + ": " + std::generic_category().message(error) + ".");
}

void makeFolder(const fs::path& path) {
  std::error_code error;
  if (fs::is_directory(path, error)) return;
  if (const int failed = FileSystem::createFolder(path, 0700)) cant("create the folder", path, failed);
}

std::string contents(const fs::path& path, std::uint64_t from = 0) {
  try {
    return FileSystem::readFile(path, from);
  } catch (const std::system_error& error) {
    if (error.code().value() == ENOENT) return {};
    cant("read", path, error.code().value());
  }
}

// Reads the complete lines of `bytes`; false when it stopped at a later format. `linesBefore`
// counts the lines before `bytes` in their file, asked only for a bad line's number.
bool readLines(const std::string& bytes, const std::string& file, const std::string& author, std::int64_t applied,
               std::size_t limit, SyncFolder::Read& read, std::uint64_t& next,
               const std::function<std::int64_t()>& linesBefore = [] { return std::int64_t{0}; }) {
  std::optional<std::int64_t> before;
  std::int64_t lineNumber = 0;  // within `bytes`
  next = 0;
  while (next < bytes.size() && read.records.size() < limit) {
    const auto end = bytes.find('\n', next);
    if (end == std::string::npos) break;  // a line still being written: not yet
    const std::string_view line(bytes.data() + next, end - next);
    ++lineNumber;
    const auto place = [&] { return (before ? *before : *(before = linesBefore())) + lineNumber; };
    const std::uint64_t after = end + 1;
    // A line already read (its sequence is in plain sight: quotes inside texts are escaped)
    // isn't decoded again.
    const auto number = line.find(",\"n\":");
    std::int64_t sequence = 0;
    if (applied > 0 && number != std::string_view::npos) {
      const char* digits = line.data() + number + 5;
      std::from_chars(digits, line.data() + line.size(), sequence);
    }
    if (!line.empty() && (sequence == 0 || sequence > applied)) {
      try {
        SyncRecord record = SyncRecord::decoded(line, author);
        if (record.author != author) {
          read.bad.push_back({file, place(), "it was written by another computer"});
        } else if (record.sequence > applied) {
          read.records.push_back(std::move(record));
        }
      } catch (const SyncRecordError& error) {
        if (error.description().starts_with("it is written in a later format")) {
          read.later = true;
          return false;
        }
        read.bad.push_back({file, place(), error.description()});
      }
    }
    next = after;
  }
  return true;
}

}  // namespace

SyncFolder::SyncFolder(fs::path synced, std::string computer)
    : root_(std::move(synced) / std::string(folderName)), computer_(std::move(computer)) {}

fs::path SyncFolder::computerFolder(const std::string& computer) const { return root_ / "computers" / computer; }
fs::path SyncFolder::logFolder(const std::string& computer) const { return computerFolder(computer) / "log"; }

void SyncFolder::prepare() {
  makeFolder(root_.parent_path());
  makeFolder(root_);
  const fs::path format = root_ / "FORMAT";
  const std::string written = contents(format);
  if (written.empty()) {
    try {
      FileSystem::writeAtomically(format, formatText, kFileMode);
    } catch (const fs::filesystem_error& error) {
      cant("write", format, error.code().value());
    }
  } else if (written != formatText) {
    throw SyncFolderError(format.string() + " says “" + std::string(written.substr(0, written.find('\n'))) +
                          "”: the folder is kept by a later Lumetra. Update Lumetra on this computer first.");
  }
  makeFolder(root_ / "computers");
  makeFolder(computerFolder(computer_));
  makeFolder(logFolder(computer_));
  // Files an earlier version left open to others. Only those: a change of mode, even to the
  // same, is an event that the sync engine's watcher waits on.
  const auto closeUp = [](const fs::path& file) {
    std::error_code error;
    const auto status = fs::status(file, error);
    if (!error && fs::exists(status) && (status.permissions() & fs::perms::all) != fs::perms(kFileMode)) {
      (void)FileSystem::setMode(file, kFileMode);
    }
  };
  closeUp(format);
  closeUp(computerFolder(computer_) / "computer.json");
  for (const auto& file : logFiles(computer_)) closeUp(file);
}

std::vector<fs::path> SyncFolder::logFiles(const std::string& computer) const {
  std::vector<std::pair<std::int64_t, fs::path>> found;
  std::error_code error;
  for (fs::directory_iterator it(logFolder(computer), error), end; !error && it != end; it.increment(error)) {
    if (const auto first = firstSequence(it->path().filename().string())) found.emplace_back(*first, it->path());
  }
  std::sort(found.begin(), found.end());
  std::vector<fs::path> files;
  for (auto& [first, path] : found) files.push_back(std::move(path));
  return files;
}

void SyncFolder::append(const std::vector<std::string>& lines, std::int64_t firstSequence, Instant now) {
  if (lines.empty()) return;
  const auto files = logFiles(computer_);
  fs::path current;
  if (!files.empty() && !files.back().filename().string().starts_with(kSnapshotPrefix)) {
    current = files.back();
    std::error_code error;
    const auto size = fs::file_size(current, error);
    // A segment's age is its first record's.
    const std::string bytes = contents(current);
    double started = now.seconds;
    try {
      const auto stamp = SyncRecord::decoded(std::string_view(bytes).substr(0, bytes.find('\n')), computer_).stamp;
      started = static_cast<double>(HybridClock::milliseconds(stamp)) / 1000.0;
    } catch (const SyncRecordError&) {
    }
    if (error || size >= segmentBytes || now.seconds - started > segmentSeconds) current.clear();
  }
  if (current.empty()) current = logFolder(computer_) / (numbered(firstSequence) + std::string(kSegmentSuffix));
  std::string bytes;
  for (const auto& line : lines) bytes.append(line).push_back('\n');
  if (const int failed = FileSystem::appendDurably(current, bytes)) cant("append to", current, failed);
}

std::vector<SyncRecord> SyncFolder::ownRecordsAfter(std::int64_t sequence, std::int64_t& last) {
  std::vector<SyncRecord> records;
  last = 0;
  const auto files = logFiles(computer_);
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string bytes = contents(files[i]);
    // Only the current segment can end in a cut-off write: cut it, so the next line starts whole.
    if (const auto end = bytes.rfind('\n'); i + 1 == files.size() && end + 1 != bytes.size()) {
      const auto keep = end == std::string::npos ? 0 : end + 1;
      if (const int failed = FileSystem::truncateDurably(files[i], keep)) cant("repair", files[i], failed);
      bytes.resize(keep);
    }
    Read read;
    std::uint64_t next = 0;
    (void)readLines(bytes, files[i].filename().string(), computer_, sequence, SIZE_MAX, read, next);
    for (auto& record : read.records) {
      last = std::max(last, record.sequence);
      records.push_back(std::move(record));
    }
    // The log's last sequence, from its last whole line.
    if (i + 1 == files.size() && bytes.size() > 1) {
      const auto end = bytes.rfind('\n', bytes.size() - 2);
      const std::string_view line = std::string_view(bytes).substr(end == std::string::npos ? 0 : end + 1);
      if (const auto number = line.find(",\"n\":"); number != std::string_view::npos) {
        std::int64_t sequenceThere = 0;
        std::from_chars(line.data() + number + 5, line.data() + line.size(), sequenceThere);
        last = std::max(last, sequenceThere);
      }
    }
  }
  return records;
}

std::vector<std::string> SyncFolder::others() const {
  std::vector<std::string> ids;
  std::error_code error;
  for (fs::directory_iterator it(root_ / "computers", error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name != computer_ && isComputerId(name) && it->is_directory(error)) ids.push_back(name);
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::optional<SyncComputer> SyncFolder::computer(const std::string& id) const {
  const std::string bytes = contents(computerFolder(id) / "computer.json");
  if (bytes.empty() || bytes.size() > SyncRecord::maxLine) return std::nullopt;
  try {
    const JSON file = WireCoding::parse(bytes);
    SyncComputer computer;
    computer.format = file.at("format").get<int>();
    computer.id = file.at("id").get<std::string>();
    computer.name = file.at("name").get<std::string>();
    computer.last = file.value("last", std::int64_t{0});
    computer.stamp = file.value("stamp", std::int64_t{0});
    computer.written = file.value("written", 0.0);
    if (computer.id != id || computer.name.empty() || computer.name.size() > SyncRecord::maxName) return std::nullopt;
    if (const auto running = file.find("running"); running != file.end() && running->is_object()) {
      SyncComputer::Running now;
      now.gid = running->at("gid").get<std::string>();
      now.project = running->at("project").get<std::string>();
      now.projectGid = running->at("project_gid").get<std::string>();
      now.start = running->at("start").get<double>();
      now.active = running->at("active").get<double>();
      if (const auto text = running->find("description"); text != running->end() && text->is_string()) {
        now.description = text->get<std::string>();
      }
      if (!isGid(now.gid) || now.project.empty()) return std::nullopt;
      computer.running = std::move(now);
    }
    return computer;
  } catch (const std::exception&) {
    return std::nullopt;  // half synced or damaged: read again next time
  }
}

void SyncFolder::publish(const SyncComputer& self) {
  JSON file = {{"format", self.format}, {"id", self.id}, {"name", self.name},
               {"last", self.last}, {"stamp", self.stamp}, {"written", self.written}};
  if (self.running) {
    JSON running = {{"gid", self.running->gid}, {"project", self.running->project},
                    {"project_gid", self.running->projectGid}, {"start", self.running->start},
                    {"active", self.running->active}};
    if (self.running->description) running["description"] = *self.running->description;
    file["running"] = std::move(running);
  } else {
    file["running"] = nullptr;
  }
  const fs::path path = computerFolder(computer_) / "computer.json";
  try {
    FileSystem::writeAtomically(path, WireCoding::compact(file) + "\n", kFileMode);
  } catch (const fs::filesystem_error& error) {
    cant("write", path, error.code().value());
  }
}

SyncFolder::Read SyncFolder::read(const std::string& computer, const Position& from, std::int64_t applied,
                                  std::size_t limit) const {
  Read read;
  const auto files = logFiles(computer);
  std::size_t index = 0;
  std::uint64_t offset = 0;
  const auto at = std::find_if(files.begin(), files.end(), [&](const fs::path& f) { return f.filename() == from.file; });
  if (at != files.end()) {
    index = static_cast<std::size_t>(at - files.begin());
    offset = from.offset;
  }
  read.next = from;
  for (; index < files.size(); ++index, offset = 0) {
    // Only what follows the position is read.
    std::error_code error;
    const auto size = fs::file_size(files[index], error);
    // A file that shrank was rewritten by its author: read it again from its start.
    if (error || offset > size) offset = 0;
    const std::string bytes = contents(files[index], offset);
    const std::string name = files[index].filename().string();
    const auto linesBefore = [&, path = files[index]] {
      const std::string head = contents(path).substr(0, offset);
      return static_cast<std::int64_t>(std::count(head.begin(), head.end(), '\n'));
    };
    std::uint64_t next = 0;
    if (!readLines(bytes, name, computer, applied, limit, read, next, linesBefore)) return read;
    read.next = {name, offset + next};
    // A line still arriving, here or in a file before the last (a sync engine may bring a
    // later file first): the rest waits for it.
    if (read.records.size() >= limit || next != bytes.size()) return read;
  }
  return read;
}

SyncFolder::Read SyncFolder::conflictCopies(const std::string& computer, std::vector<std::string>& seen) const {
  Read read;
  std::error_code error;
  for (const auto& folder : {computerFolder(computer), logFolder(computer)}) {
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      const std::string name = it->path().filename().string();
      if (name.find(kConflictMark) == std::string::npos || !name.ends_with(kSegmentSuffix)) continue;
      const std::string key = name + ":" + std::to_string(it->file_size(error));
      if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
      seen.push_back(key);
      std::uint64_t next = 0;
      // A copy may hold what a computer with a cloned id wrote: the same author.
      (void)readLines(contents(it->path()), name, computer, 0, SIZE_MAX, read, next);
    }
  }
  return read;
}

std::uint64_t SyncFolder::compact() {
  const auto files = logFiles(computer_);
  if (files.size() < 3) return 0;  // the current segment and at least two sealed ones
  const std::vector<fs::path> sealed(files.begin(), files.end() - 1);
  std::vector<SyncRecord> records;
  std::uint64_t before = 0;
  for (const auto& file : sealed) {
    const std::string bytes = contents(file);
    before += bytes.size();
    Read read;
    std::uint64_t next = 0;
    (void)readLines(bytes, file.filename().string(), computer_, 0, SIZE_MAX, read, next);
    for (auto& record : read.records) records.push_back(std::move(record));
  }
  if (records.empty()) return 0;
  // The newest record of each row's group; every record that is the newest for some group, a
  // row's first record, a deletion or not a field change at all is kept whole.
  std::map<std::pair<std::string, unsigned>, std::int64_t> newest;
  for (const auto& record : records) {
    for (const auto& [group, text] : kSyncGroupTexts) {
      if (record.has(group)) {
        auto& sequence = newest[{record.gid, static_cast<unsigned>(group)}];
        sequence = std::max(sequence, record.sequence);
      }
    }
  }
  std::string kept;
  for (const auto& record : records) {
    bool keep = record.created || (record.kind != SyncKind::project && record.kind != SyncKind::session) ||
                (record.has(SyncGroup::live) && !record.live);
    for (const auto& [group, text] : kSyncGroupTexts) {
      if (record.has(group) && newest[{record.gid, static_cast<unsigned>(group)}] == record.sequence) keep = true;
    }
    if (keep) kept += record.encoded() + "\n";
  }
  const fs::path snapshot = logFolder(computer_) / (std::string(kSnapshotPrefix) + numbered(records.front().sequence) + "-" +
                                                    numbered(records.back().sequence) + std::string(kSegmentSuffix));
  try {
    FileSystem::writeAtomically(snapshot, kept, kFileMode);
  } catch (const fs::filesystem_error& error) {
    cant("write", snapshot, error.code().value());
  }
  for (const auto& file : sealed) {
    if (file != snapshot) FileSystem::removeFile(file);
  }
  return before > kept.size() ? before - kept.size() : 0;
}

}  // namespace lumetra
