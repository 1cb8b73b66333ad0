#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/SQLValue.hpp"

namespace lumetra {

// One result row: values by column name. A later column of the same name replaces an earlier one.
// The accessors never fail; what doesn't convert reads as 0 or nothing.
class Row {
 public:
  using Names = std::shared_ptr<const std::vector<std::string>>;

  Row() : names_(std::make_shared<const std::vector<std::string>>()) {}
  // A row of a result whose column names are shared by all its rows; `values` in column order.
  Row(Names names, std::vector<SQLValue> values) : names_(std::move(names)), values_(std::move(values)) {}

  // INTEGER as is; REAL truncated toward zero; TEXT when it is exactly a base-10 integer with
  // an optional sign; anything else (and a missing column) 0.
  [[nodiscard]] std::int64_t integer(std::string_view name) const;
  // INTEGER and REAL as a double; TEXT when the whole text is a number; else nothing.
  [[nodiscard]] std::optional<double> optionalDouble(std::string_view name) const;
  // TEXT as is; INTEGER in decimal; REAL in its shortest round-trip form ("600.0"); else nothing.
  [[nodiscard]] std::optional<std::string> optionalText(std::string_view name) const;

  [[nodiscard]] const SQLValue* find(std::string_view name) const;
  [[nodiscard]] const std::vector<std::string>& names() const { return *names_; }
  [[nodiscard]] const std::vector<SQLValue>& values() const { return values_; }

 private:
  Names names_;  // shared: a result's rows don't each copy its column names
  std::vector<SQLValue> values_;
};

// The shortest decimal text that reads back as the same double, keeping ".0" on whole numbers.
[[nodiscard]] std::string shortestDecimal(double value);

}  // namespace lumetra
