#pragma once

#include <cstdint>
#include <string>

// Fresh ids for computers and rows. Not secrets, only unique: drawn from a generator seeded from
// the system's randomness once per thread, or from a seed a test gives, so that a simulated run
// can be played again.
namespace lumetra::SyncGids {

// "p" or "s" and 32 hex digits.
[[nodiscard]] std::string row(char kind);
// `digits` hex digits: 32 for a computer.
[[nodiscard]] std::string hex(std::size_t digits);

// For tests: this thread's ids from now on follow the seed.
void TEST_seed(std::uint64_t seed);

}  // namespace lumetra::SyncGids
