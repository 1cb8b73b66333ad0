#pragma once

#include <cstdint>
#include <string_view>

namespace lumetra::Crc32c {

// CRC-32C (Castagnoli) of the bytes: what a sync record line carries to tell a whole line from
// a torn or damaged one.
[[nodiscard]] std::uint32_t of(std::string_view bytes);

}  // namespace lumetra::Crc32c
