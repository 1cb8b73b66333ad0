#include "platform/PropertyList.hpp"

#include <plist/plist.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

namespace lumetra::PropertyList {

std::optional<std::string> string(const std::filesystem::path& file, const char* key) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  const std::unique_ptr<void, void (*)(plist_t)> owned(root, plist_free);
  if (!root || plist_get_node_type(root) != PLIST_DICT) return std::nullopt;
  plist_t item = plist_dict_get_item(root, key);
  if (!item || plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
  char* text = nullptr;
  plist_get_string_val(item, &text);
  if (!text) return std::nullopt;
  std::string value(text);
  std::free(text);
  return value;
}

}  // namespace lumetra::PropertyList
