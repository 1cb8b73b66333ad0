#include "platform/PlatformWording.hpp"

namespace lumetra::PlatformWording {

std::string worded(std::string_view macText, bool onMac) {
  std::string text(macText);
  if (onMac) return text;
  for (const auto& [mac, elsewhere] : kReplacements) {
    for (auto at = text.find(mac); at != std::string::npos; at = text.find(mac, at + elsewhere.size())) {
      text.replace(at, mac.size(), elsewhere);
    }
  }
  return text;
}

}  // namespace lumetra::PlatformWording
