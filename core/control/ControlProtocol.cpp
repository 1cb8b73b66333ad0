#include "control/ControlProtocol.hpp"

namespace lumetra::ControlProtocol {

std::filesystem::path socketURL(const std::filesystem::path& dataDirectory) {
  return dataDirectory / std::string(socketName);
}

}  // namespace lumetra::ControlProtocol
