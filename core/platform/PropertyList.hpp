#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lumetra::PropertyList {

// The text stored under `key` in the top-level dictionary of an XML property-list file, the form
// bundles are built with here; nothing when the file can't be read or parsed (a binary one
// included), or the value is missing or not text.
[[nodiscard]] std::optional<std::string> string(const std::filesystem::path& file, const char* key);
// The same, from the file's text.
[[nodiscard]] std::optional<std::string> stringIn(std::string_view xml, std::string_view key);

}  // namespace lumetra::PropertyList
