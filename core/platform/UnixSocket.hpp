#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Unix-domain stream sockets and the few descriptor calls around them. Functions that return
// an int return 0 on success and the errno otherwise, unless they say they return a descriptor.
namespace lumetra::UnixSocket {

// The longest socket path, in bytes, that fits every platform's sun_path with its terminator.
inline constexpr std::size_t maxPathBytes = 103;

// A Unix-domain stream socket that is closed across exec, or -1 with errno set.
[[nodiscard]] int openStream();

// Accepts one pending connection (closed across exec), or -1 with errno set.
[[nodiscard]] int acceptConnection(int listener);

// A pipe whose ends are closed across exec. False with errno set on failure.
[[nodiscard]] bool openPipe(int ends[2]);

// Asks that writing to a closed peer fails with EPIPE instead of raising SIGPIPE, where the
// platform has a socket option for it (SO_NOSIGPIPE). Returns false when setsockopt fails.
[[nodiscard]] bool suppressSigPipe(int fd);

// Readies a TCP listener: it may bind again while old connections linger (SO_REUSEADDR) but no
// second process may share its port (no SO_REUSEPORT), and its connections send small answers
// at once (TCP_NODELAY, which accepted sockets inherit). 0 or the errno.
int prepareTCPListener(int fd);

// A TCP listener on 127.0.0.1 at the port (0: any free one), readied as prepareTCPListener
// does, non-blocking and closed across exec: its descriptor, or -1 with `error` set.
[[nodiscard]] int listenOnLoopback(int port, int backlog, int& error);
// The port a TCP socket is bound to, or 0.
[[nodiscard]] int boundPort(int fd);
// Ends both directions of a connection without closing its descriptor, so that whoever owns it
// finds it finished at its next read or write.
void shutDown(int fd);

// Flags for send() that keep SIGPIPE away where there is no socket option (MSG_NOSIGNAL).
[[nodiscard]] int sendFlags();

// The effective user id of the connected peer, or nullopt when the platform can't tell.
[[nodiscard]] std::optional<uid_t> peerUserId(int fd);

// Whether the connected peer runs as this process's user.
[[nodiscard]] bool peerIsSameUser(int fd);

// Connects, binds or listens at a path of at most maxPathBytes. 0 or the errno.
[[nodiscard]] int connectTo(int fd, const std::string& path);
[[nodiscard]] int bindTo(int fd, const std::string& path);
[[nodiscard]] int listenOn(int fd, int backlog);

// Switches the descriptor between blocking and non-blocking mode. 0 or the errno.
int setNonBlocking(int fd, bool nonBlocking);

// Waits up to `timeoutMilliseconds` (-1: without limit) until one of the descriptors is readable,
// closed or failed; sets `ready[i]` for each such one. False when the wait itself failed.
[[nodiscard]] bool waitReadable(std::span<const int> fds, int timeoutMilliseconds, std::vector<bool>& ready);

// One read that never waits: some bytes, none yet, the peer's end, or a failure.
struct Chunk {
  enum class Kind { data, none, closed, failed };
  Kind kind = Kind::none;
  std::size_t count = 0;
};
[[nodiscard]] Chunk readAvailable(int fd, char* buffer, std::size_t size);

// Sends what fits without waiting; for short answers on a connection about to be closed.
void sendWithoutWaiting(int fd, std::string_view bytes);

// Writes one byte, to wake a thread waiting on the other end of a pipe.
void signal(int fd);

}  // namespace lumetra::UnixSocket
