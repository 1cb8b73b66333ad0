#pragma once

#include <exception>
#include <string>

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

// The sentence for any caught exception: an Error's description, else what() says.
[[nodiscard]] std::string describe(const std::exception& error);

}  // namespace lumetra
