#include "linalg/factor_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

namespace velm::linalg {

namespace {

// The shared memory holds at most this many bytes of right-hand sides (and at least one).
constexpr std::size_t kSharedBytes = std::size_t{256} << 20;

// What the child answers: a header, then the null pivots, then an error text.
struct Reply {
  std::int32_t ok = 0;
  std::int32_t kind = 0;  // SparseSolverError::Kind when not ok
  std::int64_t text_bytes = 0;
  std::int64_t null_pivots = 0;
  std::int64_t negative_pivots = 0;
  std::int32_t definiteness = 0;
  std::int32_t unused = 0;
  double determinant = 1.0;
};

// A solve of `count` right-hand sides in the shared memory, or (count < 0) the end.
struct Command {
  std::int32_t count = 0;
};

bool write_all(int fd, const void* data, std::size_t bytes) {
  const char* p = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t n = ::write(fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    bytes -= static_cast<std::size_t>(n);
  }
  return true;
}

bool read_all(int fd, void* data, std::size_t bytes) {
  char* p = static_cast<char*>(data);
  while (bytes > 0) {
    const ssize_t n = ::read(fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    bytes -= static_cast<std::size_t>(n);
  }
  return true;
}

void send_reply(int fd, Reply reply, const std::vector<std::int64_t>& pivots,
                const std::string& text) {
  reply.text_bytes = static_cast<std::int64_t>(text.size());
  reply.null_pivots = static_cast<std::int64_t>(pivots.size());
  if (!write_all(fd, &reply, sizeof reply) ||
      !write_all(fd, pivots.data(), pivots.size() * sizeof(std::int64_t)) ||
      !write_all(fd, text.data(), text.size()))
    ::_exit(1);
}

Reply failure(const SparseSolverError& error) {
  Reply reply;
  reply.kind = static_cast<std::int32_t>(error.kind);
  return reply;
}

// The child: factorises, answers, then solves until told to end or its parent goes. It never
// returns: nothing of the parent's (its atexit handlers, its buffered output) may run here.
[[noreturn]] void serve(SparseLdlt& ldlt, double threshold, int commands, int replies,
                        double* shared) {
  ::signal(SIGINT, SIG_IGN);  // Ctrl-C is the parent's to answer
  ::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::int64_t> none;
  try {
    if (auto done = ldlt.factorise(threshold); !done) {
      send_reply(replies, failure(done.error()), none, done.error().text);
      ::_exit(0);
    }
    Reply reply;
    reply.ok = 1;
    reply.negative_pivots = ldlt.negative_pivots();
    reply.definiteness = ldlt.definiteness() == Definiteness::positive ? 1 : 0;
    reply.determinant = ldlt.determinant();
    send_reply(replies, reply, ldlt.null_pivots(), "");
    Command command;
    while (read_all(commands, &command, sizeof command) && command.count >= 0) {
      if (auto solved = ldlt.solve(shared, command.count); !solved)
        send_reply(replies, failure(solved.error()), none, solved.error().text);
      else
        send_reply(replies, Reply{1}, none, "");
    }
  } catch (const std::bad_alloc&) {
    send_reply(replies, failure({SparseSolverError::Kind::out_of_memory, ""}), none,
               "out of memory");
  } catch (const std::exception& error) {
    send_reply(replies, failure({SparseSolverError::Kind::failed, ""}), none, error.what());
  }
  ::_exit(0);
}

}  // namespace

std::expected<std::unique_ptr<FactorProcess>, SparseSolverError> FactorProcess::factorise(
    SparseLdlt& ldlt, double null_pivot_threshold, const std::function<bool()>& stop) {
  std::unique_ptr<FactorProcess> process(new FactorProcess());
  process->size_ = static_cast<std::size_t>(std::max<std::int32_t>(ldlt.size(), 0));
  const std::size_t column = std::max<std::size_t>(process->size_, 1) * sizeof(double);
  process->chunk_ =
      static_cast<std::int32_t>(std::clamp<std::size_t>(kSharedBytes / column, 1, 256));
  process->shared_bytes_ = column * static_cast<std::size_t>(process->chunk_);
  void* shared = ::mmap(nullptr, process->shared_bytes_, PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (shared == MAP_FAILED) return nullptr;
  process->shared_ = static_cast<double*>(shared);
  int down[2], up[2];
  if (::pipe2(down, O_CLOEXEC) != 0) return nullptr;
  if (::pipe2(up, O_CLOEXEC) != 0) {
    ::close(down[0]);
    ::close(down[1]);
    return nullptr;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    for (const int fd : {down[0], down[1], up[0], up[1]}) ::close(fd);
    return nullptr;
  }
  if (child == 0) {
    ::close(down[1]);
    ::close(up[0]);
    serve(ldlt, null_pivot_threshold, down[0], up[1], process->shared_);
  }
  ::close(down[0]);
  ::close(up[1]);
  process->child_ = child;
  process->commands_ = down[1];
  process->replies_ = up[0];

  Reply reply;
  if (auto got = process->receive(&reply, sizeof reply, &stop); !got)
    return std::unexpected(got.error());
  process->null_pivots_.resize(static_cast<std::size_t>(reply.null_pivots));
  if (auto got = process->receive(process->null_pivots_.data(),
                                  process->null_pivots_.size() * sizeof(std::int64_t), nullptr);
      !got)
    return std::unexpected(got.error());
  std::string text(static_cast<std::size_t>(reply.text_bytes), '\0');
  if (auto got = process->receive(text.data(), text.size(), nullptr); !got)
    return std::unexpected(got.error());
  if (!reply.ok)
    return std::unexpected(
        SparseSolverError{static_cast<SparseSolverError::Kind>(reply.kind), std::move(text)});
  process->negative_pivots_ = reply.negative_pivots;
  process->definiteness_ = reply.definiteness ? Definiteness::positive : Definiteness::indefinite;
  process->determinant_ = reply.determinant;
  return process;
}

FactorProcess::~FactorProcess() {
  if (commands_ >= 0) ::close(commands_);
  if (replies_ >= 0) ::close(replies_);
  if (child_ > 0) {
    // The child has nothing left to do but end; SIGKILL spares it even that.
    ::kill(child_, SIGKILL);
    while (::waitpid(child_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  if (shared_ != nullptr) ::munmap(shared_, shared_bytes_);
}

SparseSolverError FactorProcess::ended() const {
  int status = 0;
  pid_t waited;
  while ((waited = ::waitpid(child_, &status, 0)) < 0 && errno == EINTR) {
  }
  auto* self = const_cast<FactorProcess*>(this);
  self->child_ = -1;
  if (waited > 0 && WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    if (signal == SIGKILL)
      return {SparseSolverError::Kind::out_of_memory,
              "the factorisation's process was killed (signal 9), most likely for want of memory"};
    return {SparseSolverError::Kind::failed, "the factorisation's process ended on signal " +
                                                 std::to_string(signal) + " (" +
                                                 ::strsignal(signal) + ")"};
  }
  return {SparseSolverError::Kind::failed,
          "the factorisation's process ended without an answer (status " +
              std::to_string(waited > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")"};
}

std::expected<void, SparseSolverError> FactorProcess::receive(
    void* data, std::size_t bytes, const std::function<bool()>* stop) const {
  char* p = static_cast<char*>(data);
  while (bytes > 0) {
    pollfd ready{replies_, POLLIN, 0};
    const int polled = ::poll(&ready, 1, stop != nullptr ? kPollMilliseconds : -1);
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) {
      if (stop != nullptr && (*stop)()) {
        auto* self = const_cast<FactorProcess*>(this);
        ::kill(child_, SIGKILL);
        while (::waitpid(child_, nullptr, 0) < 0 && errno == EINTR) {
        }
        self->child_ = -1;
        return std::unexpected(SparseSolverError{SparseSolverError::Kind::cancelled, ""});
      }
      continue;
    }
    const ssize_t n = ::read(replies_, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::unexpected(ended());
    p += n;
    bytes -= static_cast<std::size_t>(n);
  }
  return {};
}

std::expected<void, SparseSolverError> FactorProcess::solve(double* rhs, std::int32_t count) const {
  if (child_ <= 0)
    return std::unexpected(SparseSolverError{SparseSolverError::Kind::failed,
                                             "the factorisation's process has ended"});
  for (std::int32_t first = 0; first < count; first += chunk_) {
    const std::int32_t now = std::min(chunk_, count - first);
    double* block = rhs + static_cast<std::size_t>(first) * size_;
    const std::size_t bytes = static_cast<std::size_t>(now) * size_ * sizeof(double);
    std::memcpy(shared_, block, bytes);
    const Command command{now};
    if (!write_all(commands_, &command, sizeof command)) return std::unexpected(ended());
    Reply reply;
    if (auto got = receive(&reply, sizeof reply, nullptr); !got) return got;
    std::string text(static_cast<std::size_t>(reply.text_bytes), '\0');
    if (auto got = receive(text.data(), text.size(), nullptr); !got) return got;
    if (!reply.ok)
      return std::unexpected(
          SparseSolverError{static_cast<SparseSolverError::Kind>(reply.kind), std::move(text)});
    std::memcpy(block, shared_, bytes);
  }
  return {};
}

}  // namespace velm::linalg
