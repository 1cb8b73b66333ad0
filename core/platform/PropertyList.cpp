#include "platform/PropertyList.hpp"

#include <unicode/utf8.h>

#include <charconv>
#include <fstream>
#include <string_view>

namespace lumetra::PropertyList {

namespace {

// Info.plist files are small; anything far larger isn't one.
constexpr std::size_t maxFileSize = 1 << 20;

struct Tag {
  std::string_view name;
  bool closing = false, empty = false;
};

// The next element tag from `at`, past declarations, instructions and comments. With `text`,
// also the character data before it, which must then hold no comment.
std::optional<Tag> nextTag(std::string_view xml, std::size_t& at, std::string_view* text = nullptr) {
  const std::size_t textStart = at;
  for (;;) {
    const std::size_t open = xml.find('<', at);
    if (open == std::string_view::npos || open + 1 >= xml.size()) return std::nullopt;
    const bool comment = xml.substr(open, 4) == "<!--";
    const std::size_t end = comment ? xml.find("-->", open + 4) : xml.find('>', open);
    if (end == std::string_view::npos) return std::nullopt;
    at = end + (comment ? 3 : 1);
    if (comment && text) return std::nullopt;
    if (comment || xml[open + 1] == '?' || xml[open + 1] == '!') continue;
    std::string_view inner = xml.substr(open + 1, end - open - 1);
    Tag tag;
    if (inner.starts_with('/')) tag.closing = true, inner.remove_prefix(1);
    if (inner.ends_with('/')) tag.empty = true, inner.remove_suffix(1);
    tag.name = inner.substr(0, inner.find_first_of(" \t\r\n"));
    if (text) *text = xml.substr(textStart, open - textStart);
    return tag;
  }
}

// Character data with XML's five entities and numeric references replaced.
std::optional<std::string> decoded(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::size_t amp = text.find('&');
    out.append(text.substr(0, amp));
    if (amp == std::string_view::npos) break;
    const std::size_t semicolon = text.find(';', amp);
    if (semicolon == std::string_view::npos) return std::nullopt;
    const std::string_view name = text.substr(amp + 1, semicolon - amp - 1);
    text.remove_prefix(semicolon + 1);
    if (name == "lt") out += '<';
    else if (name == "gt") out += '>';
    else if (name == "amp") out += '&';
    else if (name == "quot") out += '"';
    else if (name == "apos") out += '\'';
    else if (name.starts_with('#')) {
      const bool hex = name.starts_with("#x");
      const std::string_view digits = name.substr(hex ? 2 : 1);
      unsigned scalar = 0;
      const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), scalar, hex ? 16 : 10);
      if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || scalar > 0x10FFFF ||
          (scalar >= 0xD800 && scalar < 0xE000)) {
        return std::nullopt;
      }
      char bytes[U8_MAX_LENGTH];
      int32_t length = 0;
      U8_APPEND_UNSAFE(bytes, length, static_cast<UChar32>(scalar));
      out.append(bytes, static_cast<std::size_t>(length));
    } else {
      return std::nullopt;
    }
  }
  return out;
}

// Skips the value whose opening tag was just read, nested dictionaries and arrays included.
bool skipValue(std::string_view xml, std::size_t& at, const Tag& opening) {
  for (int depth = opening.empty ? 0 : 1; depth > 0;) {
    const auto tag = nextTag(xml, at);
    if (!tag) return false;
    if (tag->closing) --depth;
    else if (!tag->empty) ++depth;
  }
  return true;
}

}  // namespace

std::optional<std::string> stringIn(std::string_view xml, std::string_view key) {
  std::size_t at = 0;
  const auto plist = nextTag(xml, at), dict = nextTag(xml, at);
  if (!plist || plist->name != "plist" || !dict || dict->name != "dict" || dict->closing || dict->empty) {
    return std::nullopt;
  }
  for (;;) {
    const auto keyTag = nextTag(xml, at);
    if (!keyTag || keyTag->name != "key" || keyTag->closing || keyTag->empty) return std::nullopt;
    std::string_view keyText;
    const auto keyEnd = nextTag(xml, at, &keyText);
    if (!keyEnd || !keyEnd->closing || keyEnd->name != "key") return std::nullopt;
    const auto value = nextTag(xml, at);
    if (!value || value->closing) return std::nullopt;
    if (decoded(keyText) == key) {
      if (value->name != "string") return std::nullopt;
      if (value->empty) return std::string();
      std::string_view text;
      const auto end = nextTag(xml, at, &text);
      if (!end || !end->closing || end->name != "string") return std::nullopt;
      return decoded(text);
    }
    if (!skipValue(xml, at, *value)) return std::nullopt;
  }
}

std::optional<std::string> string(const std::filesystem::path& file, const char* key) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  bytes.resize(maxFileSize + 1);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.size() > maxFileSize) return std::nullopt;
  return stringIn(bytes, key);
}

}  // namespace lumetra::PropertyList
