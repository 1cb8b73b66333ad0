#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WireField.hpp"
#include "control/ProjectInfo.hpp"

namespace lumetra {

// The result of projects.
struct ProjectsResult {
  std::vector<ProjectInfo> projects;

  bool operator==(const ProjectsResult&) const = default;

  static constexpr auto wireFields() {
    using R = ProjectsResult;
    return std::tuple{WireField{"projects", &R::projects}};
  }
};

}  // namespace lumetra
