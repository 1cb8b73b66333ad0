#include "control/ControlServer.hpp"

#include <cerrno>
#include <chrono>
#include <exception>
#include <memory>
#include <semaphore>

#include "control/ControlProtocol.hpp"
#include "platform/Socket.hpp"
#include "control/SocketAddress.hpp"
#include "control/SocketError.hpp"
#include "platform/FileSystem.hpp"
#include "platform/ProcessInfo.hpp"
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
  // file that isn't listening yet, and a file left by an earlier run is replaced atomically. The
  // name is short because a socket path has little room.
  const std::string temporaryName = ".qv" + std::to_string(ProcessInfo::processId());
  auto step = [](const char* operation, int error) {
    if (error != 0) throw SocketError::system(operation, error);
  };
  try {
    FileSystem::replaceAtomically(
        socketURL_,
        [&](const std::filesystem::path& temporary) {
          FileSystem::removeFile(temporary);
          step("bind", UnixSocket::bindTo(fd.get(), SocketAddress(temporary).path()));
          step("chmod", FileSystem::setMode(temporary, 0600));
          step("listen", UnixSocket::listenOn(fd.get(), listenBacklog));
        },
        temporaryName);
  } catch (const std::filesystem::filesystem_error& error) {
    throw SocketError::system("rename", error.code().value());
  }
  if (const int error = UnixSocket::setNonBlocking(fd.get(), true); error != 0) {
    fd.reset();
    FileSystem::removeFile(socketURL_);
    throw SocketError::system("fcntl", error);
  }

  int wake[2];
  if (!UnixSocket::openPipe(wake)) {
    const int error = errno;
    fd.reset();
    FileSystem::removeFile(socketURL_);
    throw SocketError::system("pipe", error);
  }
  wakeRead_.reset(wake[0]);
  wakeWrite_.reset(wake[1]);
  listener_ = std::move(fd);
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

void ControlServer::stop() {
  if (!acceptThread_.joinable()) return;
  UnixSocket::signal(wakeWrite_.get());
  acceptThread_.join();
  listener_.reset();
  wakeRead_.reset();
  wakeWrite_.reset();
  FileSystem::removeFile(socketURL_);
}

void ControlServer::acceptLoop() {
  for (;;) {
    if (UnixSocket::waitReadable(listener_.get(), wakeRead_.get()) != UnixSocket::Readable::first) return;
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
  if (UnixSocket::peerIsSameUser(fd)) {
    (void)UnixSocket::setNonBlocking(fd, false);  // accepted sockets inherit the listener's mode
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
