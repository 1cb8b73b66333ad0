#include "platform/UserFolders.hpp"

namespace lumetra::UserFolders {

std::filesystem::path applicationSupport(const Environment& environment) {
  return home(environment) / "Library" / "Application Support";
}

}  // namespace lumetra::UserFolders
