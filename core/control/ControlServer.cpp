#include "control/ControlServer.hpp"

#include <cerrno>
#include <chrono>
#include <exception>
#include <memory>
#include <semaphore>
#include <string_view>
#include <system_error>
#include <utility>

#include "control/ControlProtocol.hpp"
#include "control/SocketAddress.hpp"
#include "control/SocketError.hpp"
#include "platform/FileSystem.hpp"
#include "platform/ProcessInfo.hpp"
#include "platform/Socket.hpp"
#include "platform/UnixSocket.hpp"

namespace lumetra {

ControlServer::ControlServer(std::filesystem::path socketURL, Handler handler, std::string busyReply, Owner owner)
    : socketURL_(std::move(socketURL)),
      handler_(std::move(handler)),
      busyReply_(std::move(busyReply)),
      owner_(std::move(owner)) {}

ControlServer::~ControlServer() {
  stop();
  // Requests on the owner's queue are still answered, or answered busy once their time is up.
  for (;;) {
    const auto next = expireQueued();
    MutexLock lock(activeLock_);
    const auto done = [this]() REQUIRES(activeLock_) { return active_ == 0; };
    if (!next) {
      lock.wait(activeDone_, done);
      break;
    }
    if (lock.waitUntil(activeDone_, *next, done)) break;
  }
  MutexLock lock(activeLock_);
  closing_ = true;
  jobArrived_.notify_all();
  lock.wait(workersDone_, [this]() REQUIRES(activeLock_) { return workers_ == 0; });
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
  socketFile_ = FileSystem::identity(socketURL_);
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
  // A server started later on the same path replaced the file with its own: that one stays.
  if (socketFile_ && FileSystem::identity(socketURL_) == socketFile_) FileSystem::removeFile(socketURL_);
  socketFile_.reset();
}

void ControlServer::acceptLoop() {
  std::deque<Reading> reading;  // oldest first, so deadlines are in order too
  std::vector<int> fds;
  std::vector<bool> ready;
  for (;;) {
    fds.assign({listener_.get(), wakeRead_.get()});
    for (const auto& r : reading) fds.push_back(r.connection.get());
    auto next = expireQueued();
    if (!reading.empty() && (!next || reading.front().deadline < *next)) next = reading.front().deadline;
    int timeout = -1;
    if (next) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now());
      timeout = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
    }
    if (!UnixSocket::waitReadable(fds, timeout, ready) || ready[1]) return;

    std::deque<Reading> still;
    const auto now = Clock::now();
    for (std::size_t i = 0; i < reading.size(); ++i) {
      auto& r = reading[i];
      if (ready[i + 2] && readFrom(r)) continue;
      if (now >= r.deadline) continue;  // too slow: dropped without an answer
      still.push_back(std::move(r));
    }
    reading.swap(still);
    if (ready[0]) acceptPending(reading);
  }
}

void ControlServer::acceptPending(std::deque<Reading>& reading) {
  // The listener is non-blocking, so this ends with EAGAIN.
  for (;;) {
    const int connection = UnixSocket::acceptConnection(listener_.get());
    if (connection < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if ((errno == EMFILE || errno == ENFILE) && !reading.empty()) {
        reading.pop_front();  // out of descriptors: the slowest sender makes room
        continue;
      }
      return;
    }
    FileDescriptor accepted(connection);
    // Other users are turned away before anything is read or any thread is made.
    if (!UnixSocket::peerIsSameUser(connection)) continue;
    Reading arriving{
        std::move(accepted),
        {},
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(readTimeout))};
    // A client sends its request as soon as it is connected, so it is usually here already.
    if (readFrom(arriving)) continue;
    if (reading.size() >= maxReading) reading.pop_front();
    reading.push_back(std::move(arriving));
  }
}

bool ControlServer::readFrom(Reading& reading) {
  char buffer[65536];
  for (;;) {
    const auto chunk = UnixSocket::readAvailable(reading.connection.get(), buffer, sizeof buffer);
    switch (chunk.kind) {
      case UnixSocket::Chunk::Kind::none:
        return false;
      case UnixSocket::Chunk::Kind::failed:
        return true;
      case UnixSocket::Chunk::Kind::closed:
        // A peer may end its message by closing instead of sending a newline.
        if (!reading.bytes.empty()) dispatch(std::move(reading.connection), std::move(reading.bytes));
        return true;
      case UnixSocket::Chunk::Kind::data:
        break;
    }
    const std::string_view arrived(buffer, chunk.count);
    const auto newline = arrived.find('\n');
    reading.bytes.append(arrived.substr(0, newline));
    // A line of exactly the limit is served; one byte more is dropped unanswered.
    if (reading.bytes.size() > ControlProtocol::maxRequestSize) return true;
    if (newline != std::string_view::npos) {
      dispatch(std::move(reading.connection), std::move(reading.bytes));
      return true;
    }
  }
}

void ControlServer::dispatch(FileDescriptor connection, std::string request) {
  if (!admit(connection.get())) return;
  auto queued = std::make_shared<Queued>();
  queued->connection = std::move(connection);
  queued->request = std::move(request);
  queued->deadline =
      Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(owner_.busyTimeout));
  queued_.push_back(queued);
  const bool reads = owner_.reader && owner_.reader->takes(queued->request);
  queued->handler = reads ? &owner_.reader->handler : &handler_;
  (reads ? owner_.reader->schedule : owner_.schedule)([this, queued] {
    {
      MutexLock lock(queued->lock);
      if (queued->taken) return;  // answered busy already; the server may be gone
      queued->taken = true;
    }
    answerOnOwner(*queued);
  });
}

bool ControlServer::admit(int connection) {
  MutexLock lock(activeLock_);
  if (active_ >= maxActive) {
    UnixSocket::sendWithoutWaiting(connection, busyReply_ + "\n");
    return false;
  }
  ++active_;
  return true;
}

void ControlServer::finishOne() {
  MutexLock lock(activeLock_);
  if (--active_ == 0) activeDone_.notify_all();
}

std::optional<ControlServer::Clock::time_point> ControlServer::expireQueued() {
  const auto now = Clock::now();
  for (; !queued_.empty(); queued_.pop_front()) {
    auto& queued = *queued_.front();
    {
      MutexLock lock(queued.lock);
      if (queued.taken) continue;  // the owner has it
      if (now < queued.deadline) return queued.deadline;
      queued.taken = true;
    }
    UnixSocket::sendWithoutWaiting(queued.connection.get(), busyReply_ + "\n");
    queued.connection.reset();
    finishOne();
  }
  return std::nullopt;
}

std::optional<std::string> ControlServer::reply(const Handler& handler, std::string& request) {
  std::optional<std::string> reply;
  try {
    reply = handler(request);
  } catch (const std::exception&) {
    // The handler answers every request itself; if it throws anyway, close without a word.
  }
  const bool large = request.size() >= largeRequest;
  std::string().swap(request);  // assigning an empty text would keep the room
  if (large) ProcessInfo::releaseFreeMemory();
  return reply;
}

void ControlServer::answerOnOwner(Queued& queued) {
  if (auto answer = reply(*queued.handler, queued.request)) {
    const auto sent = Socket::writeLine(queued.connection.get(), *answer, false);
    if (sent < answer->size() + 1) {
      // The owner never waits for a reader: a worker sends the rest.
      answer->erase(0, std::min(sent, answer->size()));
      answer->push_back('\n');
      return enqueue(Job{std::move(queued.connection), std::move(*answer)});
    }
  }
  queued.connection.reset();
  finishOne();
}

void ControlServer::enqueue(Job job) {
  MutexLock lock(activeLock_);
  jobs_.push_back(std::move(job));
  // Idle workers each take one reply; a new one starts only when they are too few.
  if (std::cmp_greater(jobs_.size(), idle_)) {
    try {
      std::thread([this] { work(); }).detach();
      ++workers_;
    } catch (const std::system_error&) {
      // No thread to be had: this request goes unanswered rather than waiting for nobody.
      jobs_.pop_back();
      if (--active_ == 0) activeDone_.notify_all();
    }
  } else {
    jobArrived_.notify_one();
  }
}

void ControlServer::work() {
  for (bool answered = false;; answered = true) {
    Job job;
    {
      MutexLock lock(activeLock_);
      if (answered && --active_ == 0) activeDone_.notify_all();
      // A worker beyond the few kept waiting ends as soon as it runs out of work.
      if (jobs_.empty() && idle_ < keptIdle) {
        ++idle_;
        const auto linger = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(workerLinger));
        lock.waitUntil(jobArrived_, Clock::now() + linger,
                       [this]() REQUIRES(activeLock_) { return !jobs_.empty() || closing_; });
        --idle_;
      }
      if (jobs_.empty()) {
        if (--workers_ == 0) workersDone_.notify_all();
        return;
      }
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    send(std::move(job));
  }
}

void ControlServer::send(Job job) {
  const int fd = job.connection.get();
  (void)UnixSocket::setNonBlocking(fd, false);  // accepted sockets inherit the listener's mode
  Socket::configure(fd, readTimeout);
  (void)Socket::writeAll(fd, job.unsent);
}

int ControlServer::TEST_requestsInHand() {
  MutexLock lock(activeLock_);
  return active_;
}

std::optional<std::string> ControlServer::relay(double timeoutSeconds, const Schedule& schedule,
                                                std::function<std::string()> work) {
  struct State {
    Mutex lock;
    bool started GUARDED_BY(lock) = false;
    bool abandoned GUARDED_BY(lock) = false;
    std::string result;
    std::exception_ptr failure;
    std::binary_semaphore done{0};
  };
  auto state = std::make_shared<State>();
  schedule([state, work = std::move(work)] {
    {
      MutexLock lock(state->lock);
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
    MutexLock lock(state->lock);
    if (!state->started) {
      state->abandoned = true;
      return std::nullopt;
    }
  }
  state->done.acquire();  // begun work is always finished and answered
  return finish();
}

}  // namespace lumetra
