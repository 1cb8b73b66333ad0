#include "control/ControlServer.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <exception>
#include <memory>
#include <semaphore>

#include "control/ControlProtocol.hpp"
#include "control/Socket.hpp"
#include "control/SocketAddress.hpp"
#include "control/SocketError.hpp"
#include "platform/UnixSocket.hpp"

namespace lumetra {

ControlServer::ControlServer(std::filesystem::path socketURL, Handler handler)
    : socketURL_(std::move(socketURL)), handler_(std::move(handler)) {}

ControlServer::~ControlServer() {
  stop();
  std::unique_lock lock(connectionsLock_);
  connectionsDone_.wait(lock, [this] { return activeConnections_ == 0; });
}

void ControlServer::start() {
  const SocketAddress finalAddress(socketURL_);

  FileDescriptor fd(UnixSocket::openStream());
  if (!fd.valid()) throw SocketError::system("socket", errno);
  if (!UnixSocket::suppressSigPipe(fd.get())) throw SocketError::system("setsockopt", errno);

  // Bound under a temporary name, then renamed over the real one: a client never sees a socket
  // file that isn't listening yet, and a file left by an earlier run is replaced atomically.
  const auto temporary = socketURL_.parent_path() / (".qv" + std::to_string(::getpid()));
  ::unlink(temporary.c_str());
  std::optional<SocketAddress> temporaryAddress;
  try {
    temporaryAddress.emplace(temporary);
  } catch (const SocketError&) {
    ::unlink(temporary.c_str());
    throw;
  }
  auto failStep = [&](const char* operation) {
    const int error = errno;
    fd.reset();
    ::unlink(temporary.c_str());
    return SocketError::system(operation, error);
  };
  if (::bind(fd.get(), temporaryAddress->address(), temporaryAddress->length()) != 0) throw failStep("bind");
  if (::chmod(temporary.c_str(), 0600) != 0) throw failStep("chmod");
  if (::listen(fd.get(), listenBacklog) != 0) throw failStep("listen");
  if (::rename(temporary.c_str(), socketURL_.c_str()) != 0) throw failStep("rename");
  if (::fcntl(fd.get(), F_SETFL, O_NONBLOCK) != 0) {
    const int error = errno;
    fd.reset();
    ::unlink(socketURL_.c_str());
    throw SocketError::system("fcntl", error);
  }

  int wake[2];
  if (!UnixSocket::openPipe(wake)) {
    const int error = errno;
    fd.reset();
    ::unlink(socketURL_.c_str());
    throw SocketError::system("pipe", error);
  }
  wakeRead_.reset(wake[0]);
  wakeWrite_.reset(wake[1]);
  listener_ = std::move(fd);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

void ControlServer::stop() {
  if (!acceptThread_.joinable()) return;
  const char byte = 0;
  while (::write(wakeWrite_.get(), &byte, 1) < 0 && errno == EINTR) {
  }
  acceptThread_.join();
  listener_.reset();
  wakeRead_.reset();
  wakeWrite_.reset();
  ::unlink(socketURL_.c_str());
}

void ControlServer::acceptLoop() {
  for (;;) {
    pollfd watched[2] = {{listener_.get(), POLLIN, 0}, {wakeRead_.get(), POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents != 0) return;
    // Accept everything pending; the listener is non-blocking, so this ends with EAGAIN.
    for (;;) {
      const int connection = UnixSocket::acceptConnection(listener_.get());
      if (connection < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
          // Out of descriptors: let served connections finish before trying again.
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        break;
      }
      {
        std::lock_guard lock(connectionsLock_);
        ++activeConnections_;
      }
      std::thread([this, connection] { serve(FileDescriptor(connection)); }).detach();
    }
  }
}

void ControlServer::serve(FileDescriptor connection) {
  const int fd = connection.get();
  const auto peer = UnixSocket::peerUserId(fd);
  if (peer && *peer == ::getuid()) {
    (void)::fcntl(fd, F_SETFL, 0);  // accepted sockets inherit the listener's non-blocking mode
    Socket::configure(fd, readTimeout);
    auto request = Socket::readLine(fd, ControlProtocol::maxRequestSize);
    if (request.kind == Socket::LineRead::Kind::line) {
      try {
        (void)Socket::writeAll(fd, handler_(request.line) + "\n");
      } catch (const std::exception&) {
        // The handler answers every request itself; if it throws anyway, close without a word.
      }
    }
  }
  connection.reset();
  std::lock_guard lock(connectionsLock_);
  if (--activeConnections_ == 0) connectionsDone_.notify_all();
}

std::optional<std::string> ControlServer::relay(double timeoutSeconds, const Schedule& schedule,
                                                std::function<std::string()> work) {
  struct State {
    std::mutex lock;
    bool started = false;    // guarded by lock
    bool abandoned = false;  // guarded by lock
    std::string result;
    std::exception_ptr failure;
    std::binary_semaphore done{0};
  };
  auto state = std::make_shared<State>();
  schedule([state, work = std::move(work)] {
    {
      std::lock_guard lock(state->lock);
      if (state->abandoned) return;
      state->started = true;
    }
    try {
      state->result = work();
    } catch (...) {
      state->failure = std::current_exception();
    }
    state->done.release();
  });

  auto finish = [&]() -> std::optional<std::string> {
    if (state->failure) std::rethrow_exception(state->failure);
    return std::move(state->result);
  };
  if (state->done.try_acquire_for(std::chrono::duration<double>(timeoutSeconds))) return finish();
  {
    std::lock_guard lock(state->lock);
    if (!state->started) {
      state->abandoned = true;
      return std::nullopt;
    }
  }
  state->done.acquire();  // begun work is always finished and answered
  return finish();
}

}  // namespace lumetra
