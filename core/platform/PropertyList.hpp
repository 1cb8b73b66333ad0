#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace lumetra::PropertyList {

// The text stored under `key` in the top-level dictionary of a property-list file (XML or
// binary); nothing when the file can't be read or parsed, or the value is missing or not text.
[[nodiscard]] std::optional<std::string> string(const std::filesystem::path& file, const char* key);

}  // namespace lumetra::PropertyList
