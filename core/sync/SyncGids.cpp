#include "sync/SyncGids.hpp"

#include <chrono>
#include <cstdio>
#include <random>

#include "platform/SecureRandom.hpp"

namespace lumetra::SyncGids {

namespace {

std::mt19937_64& generator() {
  thread_local std::mt19937_64 numbers(std::stoull(SecureRandom::hex(8), nullptr, 16));
  return numbers;
}

// Row ids begin with a count that starts from the time and only grows, so that rows made one
// after another sort one after another: the tables keyed by them grow at their end instead of
// at random pages.
std::uint64_t& counter() {
  thread_local std::uint64_t next = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count())
                                    << 16;
  return next;
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

std::string row(char kind) {
  char prefix[24];
  std::snprintf(prefix, sizeof prefix, "%c%016llx", kind, static_cast<unsigned long long>(counter()++));
  return prefix + hex(16);
}

void TEST_seed(std::uint64_t seed) {
  generator().seed(seed);
  counter() = seed << 24;
}

}  // namespace lumetra::SyncGids
