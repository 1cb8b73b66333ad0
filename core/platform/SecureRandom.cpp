#include "SecureRandom.hpp"

#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

namespace lumetra::SecureRandom {

std::string hex(std::size_t bytes) {
  std::vector<unsigned char> raw(bytes);
  // getentropy gives at most 256 bytes a call, on Linux and macOS alike.
  for (std::size_t done = 0; done < bytes; done += 256) {
    const std::size_t chunk = std::min<std::size_t>(256, bytes - done);
    if (getentropy(raw.data() + done, chunk) != 0) throw std::system_error(errno, std::generic_category(), "getentropy");
  }
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes * 2);
  for (const unsigned char byte : raw) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

}  // namespace lumetra::SecureRandom
