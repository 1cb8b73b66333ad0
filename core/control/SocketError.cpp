#include "control/SocketError.hpp"

#include "platform/SystemError.hpp"

namespace lumetra {

SocketError SocketError::system(std::string operation, int errorNumber) {
  return SocketError(Case::system, std::move(operation), errorNumber);
}

SocketError SocketError::pathTooLong(std::string path) { return SocketError(Case::pathTooLong, std::move(path), 0); }

std::string SocketError::description() const {
  switch (case_) {
    case Case::system:
      return subject_ + " failed: " + SystemError::text(errorNumber_);
    case Case::pathTooLong:
      return "The socket path is too long: " + subject_;
  }
  return subject_;
}

}  // namespace lumetra
