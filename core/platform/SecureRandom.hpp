#pragma once

#include <cstddef>
#include <string>

namespace lumetra::SecureRandom {

// `bytes` bytes from the system's cryptographic generator, as lowercase hex. Throws
// std::system_error when the system can't provide them.
[[nodiscard]] std::string hex(std::size_t bytes);

}  // namespace lumetra::SecureRandom
