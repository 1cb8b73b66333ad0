#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace lumetra {

// Base of every failure the system throws. Each derived error keeps its structured case (for
// equality in tests) and says in `description()` the final sentence shown to a person.
class Error : public std::exception {
 public:
  [[nodiscard]] virtual std::string description() const = 0;
  [[nodiscard]] const char* what() const noexcept override;

 private:
  mutable std::string what_;
};

// An error that is just its sentence.
class MessageError : public Error {
 public:
  explicit MessageError(std::string message) : message_(std::move(message)) {}
  [[nodiscard]] std::string description() const override { return message_; }

 private:
  std::string message_;
};

// A person's words as messages quote them: in “ and ”.
[[nodiscard]] inline std::string curlyQuoted(std::string_view text) { return "“" + std::string(text) + "”"; }

// The sentence for any caught exception: an Error's description, else what() says.
[[nodiscard]] std::string describe(const std::exception& error);

}  // namespace lumetra
