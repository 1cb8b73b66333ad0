#pragma once

#include <string>

#include "platform/Error.hpp"

namespace lumetra {

// A failure of SQLite, with the texts that reach the user.
class DatabaseError final : public Error {
 public:
  enum class Case {
    open,        // the file can't be opened
    prepare,     // a statement doesn't compile
    step,        // executing failed for a reason other than a constraint
    constraint,  // executing failed with a constraint violation
  };

  static DatabaseError open(std::string message) { return {Case::open, std::move(message), {}}; }
  static DatabaseError prepare(std::string message, std::string sql) {
    return {Case::prepare, std::move(message), std::move(sql)};
  }
  // `damaged`: SQLite found the file corrupt or not a database at all.
  static DatabaseError step(std::string message, bool damaged = false) {
    DatabaseError error{Case::step, std::move(message), {}};
    error.damaged_ = damaged;
    return error;
  }
  static DatabaseError constraint(std::string message) { return {Case::constraint, std::move(message), {}}; }

  [[nodiscard]] Case kind() const noexcept { return case_; }
  [[nodiscard]] const std::string& message() const noexcept { return message_; }
  // The file is damaged: writing more to it would make things worse.
  [[nodiscard]] bool isDamage() const noexcept { return damaged_; }
  [[nodiscard]] std::string description() const override;
  bool operator==(const DatabaseError& other) const {
    return case_ == other.case_ && message_ == other.message_ && sql_ == other.sql_;
  }

 private:
  DatabaseError(Case c, std::string message, std::string sql)
      : case_(c), message_(std::move(message)), sql_(std::move(sql)) {}

  Case case_;
  std::string message_;
  std::string sql_;
  bool damaged_ = false;
};

}  // namespace lumetra
