#pragma once

#include "store/Database.hpp"

// The tables and triggers sync adds beside the store's own, made by `sync enable` and dropped by
// `sync disable`; the store's tables, indexes and user_version are never touched, so a store
// that never synced is what it always was. The triggers note every change the store's own
// statements make (foreign-key cascades included) in an outbox, in the same transaction, except
// the running session's (it belongs to this computer until it ends) and what applying another
// computer's records writes.
namespace lumetra::SyncSchema {

// Whether the sync tables are there.
[[nodiscard]] bool installed(Database& db);
// Creates the tables and triggers, and gives every row a global id. Inside the caller's
// transaction.
void install(Database& db);
// Brings the triggers of an earlier version up to date. Inside the caller's transaction.
void update(Database& db);
// Drops them. Inside the caller's transaction.
void remove(Database& db);

// While set, the triggers leave what is written alone (they are off on this connection):
// another computer's records are being applied, and whoever deletes a row then forgets its
// global id itself. Inside the caller's transaction; cleared before it ends.
void setApplying(Database& db, bool applying);

}  // namespace lumetra::SyncSchema
