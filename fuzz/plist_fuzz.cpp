// Info.plist texts, as the version and the bundle identifier are read from them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/PropertyList.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view xml(reinterpret_cast<const char*>(data), size);
  for (const char* key : {"CFBundleShortVersionString", "CFBundleIdentifier", "V"}) {
    // A value never holds more than the file did.
    if (const auto value = lumetra::PropertyList::stringIn(xml, key); value && value->size() > size) __builtin_trap();
  }
  return 0;
}
