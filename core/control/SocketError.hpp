#pragma once

#include <string>

#include "platform/Error.hpp"

namespace lumetra {

// A failure of the socket layer: a system call that failed, or a path too long for a socket.
class SocketError final : public Error {
 public:
  enum class Case { system, pathTooLong };

  // `operation` is "socket", "setsockopt", "bind", "chmod", "listen", "rename" or "fcntl".
  static SocketError system(std::string operation, int errorNumber);
  static SocketError pathTooLong(std::string path);

  [[nodiscard]] Case kind() const noexcept { return case_; }
  [[nodiscard]] const std::string& subject() const noexcept { return subject_; }
  [[nodiscard]] int errorNumber() const noexcept { return errorNumber_; }
  [[nodiscard]] std::string description() const override;

  bool operator==(const SocketError& other) const {
    return case_ == other.case_ && subject_ == other.subject_ && errorNumber_ == other.errorNumber_;
  }

 private:
  SocketError(Case c, std::string subject, int errorNumber)
      : case_(c), subject_(std::move(subject)), errorNumber_(errorNumber) {}

  Case case_;
  std::string subject_;  // the operation name, or the path
  int errorNumber_ = 0;
};

}  // namespace lumetra
