#pragma once

#include <string>

#include "platform/Error.hpp"

namespace lumetra {

// Why a session can't be resumed.
class ResumeError final : public Error {
 public:
  enum class Case { alreadyTracking, nothingToResume, projectUnavailable };

  explicit ResumeError(Case c) : case_(c) {}
  [[nodiscard]] Case kind() const noexcept { return case_; }
  [[nodiscard]] std::string description() const override;
  bool operator==(const ResumeError& other) const { return case_ == other.case_; }

 private:
  Case case_;
};

}  // namespace lumetra
