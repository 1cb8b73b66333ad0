#include "store/DatabaseError.hpp"

namespace lumetra {

std::string DatabaseError::description() const {
  switch (case_) {
    case Case::open:
      return "Could not open database: " + message_;
    case Case::prepare:
      return "Could not prepare statement (" + message_ + "): " + sql_;
    case Case::step:
      return "Database error: " + message_;
    case Case::constraint:
      return "Constraint violated: " + message_;
  }
  return message_;
}

}  // namespace lumetra
