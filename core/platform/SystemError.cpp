#include "platform/SystemError.hpp"

#include <cstring>

namespace lumetra::SystemError {

namespace {
// strerror_r returns an int (XSI) or a char* (GNU); both forms are handled.
[[maybe_unused]] std::string fromResult(int result, const char* buffer) {
  return result == 0 ? std::string(buffer) : std::string("Unknown error");
}
[[maybe_unused]] std::string fromResult(const char* result, const char*) { return std::string(result); }
}  // namespace

std::string text(int errorNumber) {
  char buffer[256] = {};
  return fromResult(strerror_r(errorNumber, buffer, sizeof buffer), buffer);
}

}  // namespace lumetra::SystemError
