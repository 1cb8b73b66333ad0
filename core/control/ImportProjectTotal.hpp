#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"

namespace lumetra {

// What an import plans for one project.
struct ImportProjectTotal {
  std::string project;
  bool isNew = false;     // the import would create the project
  bool archived = false;  // the rows go to an existing archived project
  std::int64_t sessions = 0;
  std::int64_t seconds = 0;  // durations summed, then rounded (halves away from zero)

  bool operator==(const ImportProjectTotal&) const = default;

  static constexpr auto wireFields() {
    using R = ImportProjectTotal;
    return std::tuple{WireField{"project", &R::project},
                      WireField{"new", &R::isNew},
                      WireField{"archived", &R::archived},
                      WireField{"sessions", &R::sessions},
                      WireField{"seconds", &R::seconds}};
  }
};

}  // namespace lumetra
