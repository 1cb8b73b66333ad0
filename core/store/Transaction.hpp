#pragma once

#include "store/Database.hpp"

namespace lumetra {

// A "BEGIN IMMEDIATE" write transaction that rolls back unless committed, so a throw anywhere
// between leaves nothing half done. A failure of the rollback itself is ignored: the first
// error is the one worth reporting. Triggers turned off inside it are on again after it.
class Transaction {
 public:
  explicit Transaction(Database& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }
  void commit() {
    db_.setTriggersEnabled(true);
    db_.exec("COMMIT");
    done_ = true;
  }
  ~Transaction() {
    if (done_) return;
    db_.setTriggersEnabled(true);
    db_.execNoThrow("ROLLBACK");
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

 private:
  Database& db_;
  bool done_ = false;
};

}  // namespace lumetra
