#pragma once

#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>

#include <optional>

namespace lumetra::UnixSocket {

// A Unix-domain stream socket that is closed across exec, or -1 with errno set.
[[nodiscard]] int openStream();

// Accepts one pending connection (closed across exec), or -1 with errno set.
[[nodiscard]] int acceptConnection(int listener);

// A pipe whose ends are closed across exec. False with errno set on failure.
[[nodiscard]] bool openPipe(int ends[2]);

// Asks that writing to a closed peer fails with EPIPE instead of raising SIGPIPE, where the
// platform has a socket option for it (SO_NOSIGPIPE). Returns false when setsockopt fails.
[[nodiscard]] bool suppressSigPipe(int fd);

// Flags for send() that keep SIGPIPE away where there is no socket option (MSG_NOSIGNAL).
[[nodiscard]] int sendFlags();

// The effective user id of the connected peer, or nullopt when the platform can't tell.
[[nodiscard]] std::optional<uid_t> peerUserId(int fd);

// Fills the platform's length field, if it has one, and returns the length to pass to bind
// and connect.
[[nodiscard]] socklen_t addressLength(sockaddr_un& address);

}  // namespace lumetra::UnixSocket
