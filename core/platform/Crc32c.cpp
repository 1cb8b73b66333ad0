#include "platform/Crc32c.hpp"

#include <array>

namespace lumetra::Crc32c {

namespace {

// Eight tables: eight bytes a step (a log line is read and written through this).
constexpr std::array<std::array<std::uint32_t, 256>, 8> kTables = [] {
  std::array<std::array<std::uint32_t, 256>, 8> tables{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) value = (value >> 1) ^ ((value & 1u) ? 0x82F63B78u : 0u);
    tables[0][i] = value;
  }
  for (std::size_t t = 1; t < 8; ++t) {
    for (std::size_t i = 0; i < 256; ++i) tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFFu];
  }
  return tables;
}();

}  // namespace

std::uint32_t of(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t left = bytes.size();
  for (; left >= 8; left -= 8, at += 8) {
    // Little-endian order, whatever the machine's.
    const std::uint32_t low = (at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24) ^ crc;
    crc = kTables[7][low & 0xFFu] ^ kTables[6][(low >> 8) & 0xFFu] ^ kTables[5][(low >> 16) & 0xFFu] ^
          kTables[4][low >> 24] ^ kTables[3][at[4]] ^ kTables[2][at[5]] ^ kTables[1][at[6]] ^ kTables[0][at[7]];
  }
  for (; left > 0; --left, ++at) crc = kTables[0][(crc ^ *at) & 0xFFu] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

}  // namespace lumetra::Crc32c
