#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace lumetra::PropertyList {

// The text stored under `key` in the top-level dictionary of an XML property-list file, the form
// bundles are built with here; nothing when the file can't be read or parsed (a binary one
// included), or the value is missing or not text.
[[nodiscard]] std::optional<std::string> string(const std::filesystem::path& file, const char* key);

}  // namespace lumetra::PropertyList
