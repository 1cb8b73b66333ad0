#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "platform/Instant.hpp"

namespace lumetra {

// A value bound to or read from SQLite: INTEGER, REAL, TEXT or NULL (a BLOB reads as NULL).
class SQLValue {
 public:
  using Storage = std::variant<std::int64_t, double, std::string, std::nullptr_t>;

  SQLValue() : value_(nullptr) {}
  SQLValue(std::int64_t v) : value_(v) {}  // NOLINT: implicit for parameter lists
  SQLValue(int v) : value_(static_cast<std::int64_t>(v)) {}
  SQLValue(double v) : value_(v) {}
  SQLValue(std::string v) : value_(std::move(v)) {}
  SQLValue(const char* v) : value_(std::string(v)) {}
  SQLValue(std::nullptr_t) : value_(nullptr) {}
  // Instants are stored as REAL seconds since 1970-01-01 00:00:00 UTC.
  SQLValue(Instant instant) : value_(instant.seconds) {}
  template <class T>
  SQLValue(const std::optional<T>& v) : value_(nullptr) {
    if (v) *this = SQLValue(*v);
  }

  [[nodiscard]] const Storage& storage() const noexcept { return value_; }
  [[nodiscard]] bool isNull() const noexcept { return std::holds_alternative<std::nullptr_t>(value_); }
  bool operator==(const SQLValue&) const = default;

 private:
  Storage value_;
};

}  // namespace lumetra
