#include "store/Database.hpp"

#include <sqlite3.h>

#include <memory>

namespace lumetra {

namespace {

// Process-wide settings, before SQLite's first use. Its memory statistics take a global lock on
// every allocation; nothing here reads them. A statement's journal past 64 KiB (an insert
// splitting pages under a few triggers) would go to a temporary file that stays for the rest of
// the transaction, every later statement writing through it; it holds only the pages one
// statement changes, so memory it is.
void configure() {
  static const bool configured = [] {
    return sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK &&
           sqlite3_config(SQLITE_CONFIG_STMTJRNL_SPILL, -1) == SQLITE_OK;
  }();
  (void)configured;
}

}  // namespace

Database::Database(const std::string& path) {
  configure();
  sqlite3* handle = nullptr;
  const int result =
      sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (result != SQLITE_OK) {
    const std::string message = handle ? sqlite3_errmsg(handle) : "unknown error";
    sqlite3_close(handle);
    throw DatabaseError::open(message);
  }
  handle_ = handle;
  sqlite3_busy_timeout(handle_, busyTimeoutMilliseconds);
  try {
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=FULL");
    exec("PRAGMA foreign_keys=ON");
  } catch (...) {
    sqlite3_close(handle_);
    handle_ = nullptr;
    throw;
  }
}

Database::Database(const std::string& path, ReadOnly) {
  configure();
  sqlite3* handle = nullptr;
  const int result = sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (result != SQLITE_OK) {
    const std::string message = handle ? sqlite3_errmsg(handle) : "unknown error";
    sqlite3_close(handle);
    throw DatabaseError::open(message);
  }
  handle_ = handle;
  sqlite3_busy_timeout(handle_, busyTimeoutMilliseconds);
}

namespace {
bool isDamage(int result) { return (result & 0xFF) == SQLITE_CORRUPT || (result & 0xFF) == SQLITE_NOTADB; }
}  // namespace

Database::~Database() { sqlite3_close(handle_); }

void Database::setTriggersEnabled(bool enabled) noexcept {
  owner_.assertHeld();
  sqlite3_db_config(handle_, SQLITE_DBCONFIG_ENABLE_TRIGGER, enabled ? 1 : 0, nullptr);
}

void Database::exec(const std::string& sql) {
  owner_.assertHeld();
  char* error = nullptr;
  if (sqlite3_exec(handle_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : sqlite3_errmsg(handle_);
    sqlite3_free(error);
    throw DatabaseError::step(message, isDamage(sqlite3_errcode(handle_)));
  }
}

void Database::execNoThrow(const std::string& sql) noexcept {
  sqlite3_exec(handle_, sql.c_str(), nullptr, nullptr, nullptr);
}

namespace {

// Texts are copied only when `params` may be gone before the statement has run (`copied`).
void bind(sqlite3_stmt* raw, const std::vector<SQLValue>& params, bool copied = false) {
  for (std::size_t i = 0; i < params.size(); ++i) {
    const int index = static_cast<int>(i + 1);
    std::visit(
        [&](const auto& value) {
          using T = std::decay_t<decltype(value)>;
          if constexpr (std::is_same_v<T, std::int64_t>) {
            sqlite3_bind_int64(raw, index, value);
          } else if constexpr (std::is_same_v<T, double>) {
            sqlite3_bind_double(raw, index, value);
          } else if constexpr (std::is_same_v<T, std::string>) {
            sqlite3_bind_text(raw, index, value.c_str(), -1, copied ? SQLITE_TRANSIENT : SQLITE_STATIC);
          } else {
            sqlite3_bind_null(raw, index);
          }
        },
        params[i].storage());
  }
}

}  // namespace

sqlite3_stmt* Database::prepare(const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(handle_, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK) {
    throw DatabaseError::prepare(sqlite3_errmsg(handle_), sql);
  }
  return raw;
}

void Database::fail(int result) const {
  const std::string message = sqlite3_errmsg(handle_);
  if ((result & 0xFF) == SQLITE_CONSTRAINT) throw DatabaseError::constraint(message);
  throw DatabaseError::step(message, isDamage(result));
}

Database::Statement::Statement(Database& db, const std::string& sql)
    : db_(db), statement_(db.prepare(sql)), names_(namesOf(statement_)) {}

Database::Statement::~Statement() { sqlite3_finalize(statement_); }

void Database::Statement::run(const std::vector<SQLValue>& params) {
  db_.owner_.assertHeld();
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
  bind(statement_, params);
  int result;
  while ((result = sqlite3_step(statement_)) == SQLITE_ROW) {
  }
  if (result != SQLITE_DONE) db_.fail(result);
}

std::vector<Row> Database::query(const std::string& sql, const std::vector<SQLValue>& params) {
  owner_.assertHeld();
  sqlite3_stmt* raw = prepare(sql);
  const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
  bind(raw, params);
  return rowsOf(raw);
}

std::vector<Row> Database::Statement::rows(const std::vector<SQLValue>& params) {
  db_.owner_.assertHeld();
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
  bind(statement_, params);
  return db_.rowsOf(statement_, names_);
}

void Database::Statement::start(const std::vector<SQLValue>& params) {
  db_.owner_.assertHeld();
  sqlite3_reset(statement_);
  sqlite3_clear_bindings(statement_);
  bind(statement_, params, true);
}

std::optional<Row> Database::Statement::next() {
  db_.owner_.assertHeld();
  const int result = sqlite3_step(statement_);
  if (result == SQLITE_DONE) return std::nullopt;
  if (result != SQLITE_ROW) db_.fail(result);
  return rowOf(statement_, names_);
}

Row::Names Database::namesOf(sqlite3_stmt* raw) {
  auto names = std::make_shared<std::vector<std::string>>();
  for (int c = 0; c < sqlite3_column_count(raw); ++c) names->emplace_back(sqlite3_column_name(raw, c));
  return names;
}

Row Database::rowOf(sqlite3_stmt* raw, const Row::Names& names) {
  const int columns = sqlite3_column_count(raw);
  std::vector<SQLValue> values;
  values.reserve(static_cast<std::size_t>(columns));
  for (int c = 0; c < columns; ++c) {
    switch (sqlite3_column_type(raw, c)) {
      case SQLITE_INTEGER:
        values.emplace_back(static_cast<std::int64_t>(sqlite3_column_int64(raw, c)));
        break;
      case SQLITE_FLOAT:
        values.emplace_back(sqlite3_column_double(raw, c));
        break;
      case SQLITE_TEXT:
        values.emplace_back(std::string(reinterpret_cast<const char*>(sqlite3_column_text(raw, c)),
                                        static_cast<std::size_t>(sqlite3_column_bytes(raw, c))));
        break;
      default:
        values.emplace_back();
        break;
    }
  }
  return Row(names, std::move(values));
}

std::vector<Row> Database::rowsOf(sqlite3_stmt* raw) { return rowsOf(raw, namesOf(raw)); }

std::vector<Row> Database::rowsOf(sqlite3_stmt* raw, const Row::Names& names) {
  std::vector<Row> rows;
  for (;;) {
    const int result = sqlite3_step(raw);
    if (result == SQLITE_DONE) return rows;
    if (result != SQLITE_ROW) fail(result);
    rows.push_back(rowOf(raw, names));
  }
}

std::int64_t Database::lastInsertRowId() const { return sqlite3_last_insert_rowid(handle_); }

std::int64_t Database::changes() const { return sqlite3_changes64(handle_); }

std::int64_t Database::totalChanges() const { return sqlite3_total_changes64(handle_); }

}  // namespace lumetra
