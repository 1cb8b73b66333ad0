#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"

namespace lumetra {

// A problem with an import file, on the 1-based line it is about.
struct ImportProblem {
  std::int64_t line = 0;
  std::string message;

  bool operator==(const ImportProblem&) const = default;

  static constexpr auto wireFields() {
    using R = ImportProblem;
    return std::tuple{WireField{"line", &R::line},
                      WireField{"message", &R::message}};
  }
};

}  // namespace lumetra
