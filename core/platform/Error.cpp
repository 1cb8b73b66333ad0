#include "platform/Error.hpp"

namespace lumetra {

const char* Error::what() const noexcept {
  try {
    what_ = description();
  } catch (...) {
    return "error";
  }
  return what_.c_str();
}

std::string describe(const std::exception& error) {
  if (const auto* known = dynamic_cast<const Error*>(&error)) return known->description();
  return error.what();
}

}  // namespace lumetra
