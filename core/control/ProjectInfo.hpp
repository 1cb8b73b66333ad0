#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"

namespace lumetra {

// One project.
struct ProjectInfo {
  std::int64_t id = 0;
  std::string name;
  bool archived = false;

  bool operator==(const ProjectInfo&) const = default;

  static constexpr auto wireFields() {
    using R = ProjectInfo;
    return std::tuple{WireField{"id", &R::id},
                      WireField{"name", &R::name},
                      WireField{"archived", &R::archived}};
  }
};

}  // namespace lumetra
