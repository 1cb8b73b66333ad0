#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/DatabaseError.hpp"
#include "platform/ThreadSafety.hpp"
#include "store/Row.hpp"
#include "store/SQLValue.hpp"

struct sqlite3;
struct sqlite3_stmt;

namespace lumetra {

// One SQLite connection with fixed settings: serialised threading mode, a 5-second busy
// time-out, WAL journaling, synchronous FULL and foreign keys on. No statement cache and no
// transaction state of its own; statements are finalised after every use.
class Database {
 public:
  static constexpr int busyTimeoutMilliseconds = 5000;

  // Opens or creates the file. Throws DatabaseError (open, or step from a PRAGMA).
  explicit Database(const std::string& path);
  // A second connection that only reads a file another connection keeps (WAL lets it read while
  // the other writes), with the same busy time-out. Throws DatabaseError (open).
  struct ReadOnly {};
  static constexpr ReadOnly readOnly{};
  Database(const std::string& path, ReadOnly);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Runs a script of statements without parameters or results. Throws DatabaseError::step,
  // constraint failures included.
  void exec(const std::string& sql);
  // Like exec, but ignores any failure: for ROLLBACK after an earlier error.
  void execNoThrow(const std::string& sql) noexcept;
  // Whether this connection's triggers fire (they do unless turned off here; a Transaction turns
  // them on again as it ends). Statements compiled before are compiled again.
  void setTriggersEnabled(bool enabled) noexcept;

  // Compiles the first statement of `sql`, binds `params` to its ? in order, runs it to the end
  // and returns every row. Throws DatabaseError (prepare, step or constraint).
  std::vector<Row> query(const std::string& sql, const std::vector<SQLValue>& params = {});

  // A statement compiled once and run for many rows, finalised when destroyed: the writes of
  // one import, the records of one sync. Throws DatabaseError like query.
  class Statement {
   public:
    Statement(Database& db, const std::string& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    // Binds `params`, runs the statement to its end (dropping any rows) and makes it ready again.
    void run(const std::vector<SQLValue>& params);
    // The same, returning every row.
    std::vector<Row> rows(const std::vector<SQLValue>& params);
    // Binds `params` and reads the rows one at a time with next(), for results too large to
    // hold at once.
    void start(const std::vector<SQLValue>& params);
    // The next row, or nothing at the end.
    std::optional<Row> next();

   private:
    Database& db_;
    sqlite3_stmt* statement_;
    Row::Names names_;  // its columns', read once
  };

  // The thread the connection belongs to: every call checks it (see OwnerThread).
  [[nodiscard]] OwnerThread& owner() const noexcept { return owner_; }

  // The row id of the last INSERT on this connection.
  [[nodiscard]] std::int64_t lastInsertRowId() const;
  // Rows changed by the last statement, and by every statement since the connection opened.
  [[nodiscard]] std::int64_t changes() const;
  [[nodiscard]] std::int64_t totalChanges() const;

 private:
  [[nodiscard]] sqlite3_stmt* prepare(const std::string& sql);
  // Steps a bound statement to its end, collecting its rows.
  std::vector<Row> rowsOf(sqlite3_stmt* statement);
  std::vector<Row> rowsOf(sqlite3_stmt* statement, const Row::Names& names);
  [[nodiscard]] static Row::Names namesOf(sqlite3_stmt* statement);
  // The row the statement stands on.
  [[nodiscard]] static Row rowOf(sqlite3_stmt* statement, const Row::Names& names);
  [[noreturn]] void fail(int result) const;

  sqlite3* handle_ = nullptr;
  mutable OwnerThread owner_;
};

}  // namespace lumetra
