#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"

namespace lumetra {

// Time recorded for one project over a span, in whole seconds (fraction dropped).
struct ProjectTotal {
  std::int64_t projectId = 0;
  std::string project;
  std::int64_t seconds = 0;

  bool operator==(const ProjectTotal&) const = default;

  static constexpr auto wireFields() {
    using R = ProjectTotal;
    return std::tuple{WireField{"project_id", &R::projectId},
                      WireField{"project", &R::project},
                      WireField{"seconds", &R::seconds}};
  }
};

}  // namespace lumetra
