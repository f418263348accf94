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
#include <system_error>
#include <thread>

namespace velm::linalg {

// What the child answers: this header, then its null pivots, then an error text.
struct FactorProcess::Reply {
  std::int32_t ok = 0;
  std::int32_t kind = 0;  // SparseSolverError::Kind when not ok
  std::int64_t text_bytes = 0;
  std::int64_t null_pivots = 0;
  std::int64_t negative_pivots = 0;
  std::int32_t definiteness = 0;
  std::int32_t unused = 0;
  double determinant = 1.0;
  std::uint64_t estimated_bytes = 0;
  std::uint64_t estimated_entries = 0;
  double estimated_flops = 0.0;
};

namespace {

// The shared memory holds at most this many bytes of right-hand sides (and at least one).
constexpr std::size_t kSharedBytes = std::size_t{256} << 20;

// What the parent asks: factorise with the null-pivot threshold `value`, solve `count`
// right-hand sides in the shared memory, or end.
enum Operation : std::int32_t { kFactorise = 1, kSolve = 2, kEnd = 3 };
struct Command {
  std::int32_t operation = kEnd;
  std::int32_t count = 0;
  double value = 0.0;
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

using Reply = FactorProcess::Reply;

void send_reply(int fd, Reply reply, const std::vector<std::int64_t>& pivots = {},
                const std::string& text = {}) {
  reply.text_bytes = static_cast<std::int64_t>(text.size());
  reply.null_pivots = static_cast<std::int64_t>(pivots.size());
  if (!write_all(fd, &reply, sizeof reply) ||
      !write_all(fd, pivots.data(), pivots.size() * sizeof(std::int64_t)) ||
      !write_all(fd, text.data(), text.size()))
    ::_exit(1);
}

void send_failure(int fd, const SparseSolverError& error) {
  Reply reply;
  reply.kind = static_cast<std::int32_t>(error.kind);
  send_reply(fd, reply, {}, error.text);
}

// The child: analyses, answers, then factorises and solves as told until told to end or its
// parent goes. It never returns: nothing of the parent's (its atexit handlers, its buffered
// output) may run here.
[[noreturn]] void serve(SparseLdlt& ldlt, Ordering ordering, int commands, int replies,
                        double* shared) {
  ::signal(SIGINT, SIG_IGN);  // Ctrl-C is the parent's to answer
  ::signal(SIGPIPE, SIG_IGN);
  try {
    if (auto done = ldlt.analyse(ordering); !done) {
      send_failure(replies, done.error());
      ::_exit(0);
    }
    Reply analysed;
    analysed.ok = 1;
    analysed.estimated_bytes = ldlt.estimated_bytes();
    analysed.estimated_entries = ldlt.estimated_factor_entries();
    analysed.estimated_flops = ldlt.estimated_flops();
    send_reply(replies, analysed);
    Command command;
    while (read_all(commands, &command, sizeof command) && command.operation != kEnd) {
      if (command.operation == kFactorise) {
        if (auto done = ldlt.factorise(command.value); !done) {
          send_failure(replies, done.error());
          continue;
        }
        Reply factorised;
        factorised.ok = 1;
        factorised.negative_pivots = ldlt.negative_pivots();
        factorised.definiteness = ldlt.definiteness() == Definiteness::positive ? 1 : 0;
        factorised.determinant = ldlt.determinant();
        send_reply(replies, factorised, ldlt.null_pivots());
      } else if (auto solved = ldlt.solve(shared, command.count); !solved) {
        send_failure(replies, solved.error());
      } else {
        send_reply(replies, Reply{1});
      }
    }
  } catch (const std::bad_alloc&) {
    send_failure(replies, {SparseSolverError::Kind::out_of_memory, "out of memory"});
  } catch (const std::exception& error) {
    send_failure(replies, {SparseSolverError::Kind::failed, error.what()});
  }
  ::_exit(0);
}

}  // namespace

std::expected<std::unique_ptr<FactorProcess>, SparseSolverError> FactorProcess::analyse(
    SparseLdlt& ldlt, Ordering ordering, const Stop& stop) {
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
    serve(ldlt, ordering, down[0], up[1], process->shared_);
  }
  ::close(down[0]);
  ::close(up[1]);
  process->child_ = child;
  process->commands_ = down[1];
  process->replies_ = up[0];

  auto reply = process->answer(&stop);
  if (!reply) return std::unexpected(std::move(reply.error()));
  process->estimated_bytes_ = reply->estimated_bytes;
  process->estimated_entries_ = reply->estimated_entries;
  process->estimated_flops_ = reply->estimated_flops;
  return process;
}

std::expected<void, SparseSolverError> FactorProcess::factorise(double null_pivot_threshold,
                                                                const Stop& stop) {
  auto reply = ask(kFactorise, 0, null_pivot_threshold, &stop, &null_pivots_);
  if (!reply) return std::unexpected(std::move(reply.error()));
  negative_pivots_ = reply->negative_pivots;
  definiteness_ = reply->definiteness ? Definiteness::positive : Definiteness::indefinite;
  determinant_ = reply->determinant;
  return {};
}

FactorProcess::~FactorProcess() {
  if (commands_ >= 0) ::close(commands_);
  if (replies_ >= 0) ::close(replies_);
  // The child has nothing left to do but end; SIGKILL spares it even that.
  if (child_ > 0) end_child();
  if (shared_ != nullptr) ::munmap(shared_, shared_bytes_);
}

void FactorProcess::end_child() const {
  const pid_t child = child_;
  child_ = -1;
  ::kill(child, SIGKILL);
  const auto reap = [child] {
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
  };
  // The kernel takes its time to free the memory of a large child (0.46 s for the 5 GB factor
  // of a 50,000-node building), which nobody needs to wait for: the child is reaped on a thread
  // of its own, and here only without a thread to be had.
  try {
    std::thread(reap).detach();
  } catch (const std::system_error&) {
    reap();
  }
}

SparseSolverError FactorProcess::ended() const {
  if (child_ <= 0)
    return {SparseSolverError::Kind::failed, "the factorisation's process has ended"};
  int status = 0;
  pid_t waited;
  while ((waited = ::waitpid(child_, &status, 0)) < 0 && errno == EINTR) {
  }
  child_ = -1;
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

std::expected<void, SparseSolverError> FactorProcess::receive(void* data, std::size_t bytes,
                                                              const Stop* stop) const {
  char* p = static_cast<char*>(data);
  while (bytes > 0) {
    pollfd ready{replies_, POLLIN, 0};
    const int polled = ::poll(&ready, 1, stop != nullptr ? kPollMilliseconds : -1);
    if (polled < 0 && errno == EINTR) continue;
    if (polled == 0) {
      if (stop != nullptr && (*stop)()) {
        end_child();
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

std::expected<FactorProcess::Reply, SparseSolverError> FactorProcess::answer(
    const Stop* stop, std::vector<std::int64_t>* null_pivots) const {
  Reply reply;
  if (auto got = receive(&reply, sizeof reply, stop); !got) return std::unexpected(got.error());
  // The rest follows the header at once.
  std::vector<std::int64_t> pivots(static_cast<std::size_t>(reply.null_pivots));
  if (auto got = receive(pivots.data(), pivots.size() * sizeof(std::int64_t), nullptr); !got)
    return std::unexpected(got.error());
  std::string text(static_cast<std::size_t>(reply.text_bytes), '\0');
  if (auto got = receive(text.data(), text.size(), nullptr); !got)
    return std::unexpected(got.error());
  if (!reply.ok)
    return std::unexpected(
        SparseSolverError{static_cast<SparseSolverError::Kind>(reply.kind), std::move(text)});
  if (null_pivots != nullptr) *null_pivots = std::move(pivots);
  return reply;
}

std::expected<FactorProcess::Reply, SparseSolverError> FactorProcess::ask(
    std::int32_t operation, std::int32_t count, double value, const Stop* stop,
    std::vector<std::int64_t>* null_pivots) const {
  if (child_ <= 0) return std::unexpected(ended());
  const Command command{operation, count, value};
  if (!write_all(commands_, &command, sizeof command)) return std::unexpected(ended());
  return answer(stop, null_pivots);
}

std::expected<void, SparseSolverError> FactorProcess::solve(double* rhs, std::int32_t count,
                                                            const Stop* stop) const {
  for (std::int32_t first = 0; first < count; first += chunk_) {
    const std::int32_t now = std::min(chunk_, count - first);
    double* block = rhs + static_cast<std::size_t>(first) * size_;
    const std::size_t bytes = static_cast<std::size_t>(now) * size_ * sizeof(double);
    std::memcpy(shared_, block, bytes);
    if (auto reply = ask(kSolve, now, 0.0, stop); !reply) return std::unexpected(reply.error());
    std::memcpy(block, shared_, bytes);
  }
  return {};
}

}  // namespace velm::linalg
