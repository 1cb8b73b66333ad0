#pragma once

#include <optional>
#include <string>
#include <variant>

#include "store/ImportRow.hpp"
#include "store/Project.hpp"

namespace lumetra {

// The decision for one row of an import: which project it goes to and what is stored.
struct ImportPlan {
  // A stored project (archived or not), or the name of a project the import creates.
  struct NewProject {
    std::string name;
    bool operator==(const NewProject&) const = default;
  };
  using ProjectRef = std::variant<Project, NewProject>;

  ImportRow row;
  ProjectRef project;
  std::optional<std::string> description;  // validated: trimmed, empty as absent
  std::optional<std::string> sourceId;     // trimmed; absent when empty

  [[nodiscard]] const std::string& projectName() const {
    if (const auto* existing = std::get_if<Project>(&project)) return existing->name;
    return std::get<NewProject>(project).name;
  }
  [[nodiscard]] double duration() const { return row.end - row.start; }

  bool operator==(const ImportPlan&) const = default;
};

}  // namespace lumetra
