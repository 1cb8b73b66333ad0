#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/Error.hpp"
#include "platform/FileLock.hpp"
#include "store/Store.hpp"

namespace lumetra {

// Why the host can't start, in the sentence to show.
class CantStart final : public Error {
 public:
  explicit CantStart(std::string sentence) : sentence_(std::move(sentence)) {}
  [[nodiscard]] std::string description() const override { return sentence_; }

 private:
  std::string sentence_;
};

// The folder the host keeps its data in, ready for use: created owner-only when missing, the
// earlier application's data moved into it (not in a scratch run), locked so that one host
// serves it, and its database opened and checked for damage.
class DataFolder {
 public:
  // The file whose lock makes a host the only one on the folder; it holds the host's process id.
  static constexpr std::string_view lockName = "lumetra.lock";

  // Throws CantStart: another host has the folder, it is another user's, the database is damaged…
  DataFolder(std::filesystem::path directory, bool scratch);

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }
  [[nodiscard]] Store& store() { return *store_; }
  // A second connection to the same database that only reads, for reports and exports on a
  // thread of their own.
  [[nodiscard]] Store& reader() { return *reader_; }
  // The sentence for a database found damaged, with what was found.
  [[nodiscard]] std::string damaged(const std::string& finding) const;

 private:
  std::filesystem::path path_;
  FileLock lock_;
  std::unique_ptr<Store> store_;
  std::unique_ptr<Store> reader_;
};

}  // namespace lumetra
