#pragma once

#include <string>

#include "platform/Error.hpp"

namespace lumetra {

// A refusal of the store, with the sentence shown to the user.
class StoreError final : public Error {
 public:
  enum class Case {
    duplicateName,            // with the name
    leadingFormulaCharacter,  // with the field
    emptyName,
    endBeforeStart,
    inFuture,
    sessionNotFound,
    splitOutsideSession,
    cannotMerge,
  };
  // The field a formula-like text was refused for.
  enum class Field { projectName, description, sourceId };

  static StoreError duplicateName(std::string name) { return StoreError(Case::duplicateName, std::move(name)); }
  static StoreError leadingFormulaCharacter(Field field) { return StoreError(Case::leadingFormulaCharacter, {}, field); }
  explicit StoreError(Case c) : StoreError(c, {}) {}

  [[nodiscard]] Case kind() const noexcept { return case_; }
  [[nodiscard]] Field field() const noexcept { return field_; }
  [[nodiscard]] std::string description() const override;
  bool operator==(const StoreError& other) const {
    return case_ == other.case_ && name_ == other.name_ && field_ == other.field_;
  }

 private:
  StoreError(Case c, std::string name, Field field = Field::projectName)
      : case_(c), name_(std::move(name)), field_(field) {}

  Case case_;
  std::string name_;
  Field field_;
};

}  // namespace lumetra
