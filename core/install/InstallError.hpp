#pragma once

#include <filesystem>
#include <string>

#include "platform/Error.hpp"

namespace lumetra {

// Why an installation step (the tool's link, an assistant's configuration) changed nothing.
// Each case carries the file it is about.
class InstallError final : public Error {
 public:
  enum class Case {
    toolMissing,     // the expected tool isn't in the bundle
    occupied,        // the link's place holds something that isn't ours
    claudeNotFound,     // the Claude desktop app's folder is missing
    assistantNotFound,  // another assistant's folder is missing (subject: its title)
    unreadable,         // the configuration isn't a JSON object with the servers object (subject: its key)
    brokenLink,         // the configuration is a dangling link
    serviceFailed,      // the user's service manager refused (subject: the systemctl words)
  };
  InstallError(Case c, std::filesystem::path location, std::string subject = {})
      : case_(c), location_(std::move(location)), subject_(std::move(subject)) {}
  [[nodiscard]] Case kind() const noexcept { return case_; }
  [[nodiscard]] std::string description() const override;
  bool operator==(const InstallError& other) const {
    return case_ == other.case_ && location_ == other.location_ && subject_ == other.subject_;
  }

 private:
  Case case_;
  std::filesystem::path location_;
  std::string subject_;
};

}  // namespace lumetra
