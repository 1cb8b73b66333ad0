#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumetra::Socket {

// Bytes read from a socket per call.
inline constexpr std::size_t readChunk = 4096;

// The outcome of reading one line.
struct LineRead {
  enum class Kind {
    line,       // `line` holds the bytes before the first newline (or before the peer closed)
    closed,     // the peer closed before any byte arrived
    expired,    // the receive time-out ran out
    readError,  // any other read error
    tooLong,    // more than the limit arrived without a completed line
  };
  Kind kind = Kind::closed;
  std::string line;

  bool operator==(const LineRead&) const = default;
};

// Writing to a closed peer fails instead of signalling; send and receive time out after
// `timeoutSeconds`. Results of the underlying calls are not examined.
void configure(int fd, double timeoutSeconds);

// Reads up to the first newline. Bytes after it are dropped and nothing more is read.
// A line of exactly `limit` bytes is accepted; one more byte is tooLong.
[[nodiscard]] LineRead readLine(int fd, std::size_t limit);

// Writes every byte, repeating after interruptions. False when a write fails or writes nothing.
[[nodiscard]] bool writeAll(int fd, std::string_view bytes);
// Writes the bytes and a newline, in one call where the socket takes them: the peer wakes once,
// and a long line isn't copied to append one byte. Returns how many of the bytes.size() + 1
// were written: all unless a write fails or, with `wait` false, the socket has no more room.
[[nodiscard]] std::size_t writeLine(int fd, std::string_view bytes, bool wait = true);

}  // namespace lumetra::Socket
