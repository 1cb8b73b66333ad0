#include "sync/SyncGids.hpp"

#include <random>

#include "platform/SecureRandom.hpp"

namespace lumetra::SyncGids {

namespace {

std::mt19937_64& generator() {
  thread_local std::mt19937_64 numbers(std::stoull(SecureRandom::hex(8), nullptr, 16));
  return numbers;
}

}  // namespace

std::string hex(std::size_t digits) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(digits);
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    if (i % 16 == 0) bits = generator()();
    text += kDigits[bits & 15];
    bits >>= 4;
  }
  return text;
}

std::string row(char kind) { return kind + hex(32); }

void TEST_seed(std::uint64_t seed) { generator().seed(seed); }

}  // namespace lumetra::SyncGids
