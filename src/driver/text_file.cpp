#include "driver/text_file.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <new>

#include <fmt/format.h>

#include "base/memory_budget.hpp"
#include "base/system_error.hpp"
#include "base/units.hpp"
#include "json/utf8.hpp"

namespace velm::driver {
namespace {

constexpr std::size_t kBlockSize = std::size_t{1} << 16;
// A source that never blocks (a device, a busy pipe) is never interrupted either: the stop
// check is polled every this many blocks too (1 MiB, well under a millisecond of reading).
constexpr std::size_t kBlocksBetweenChecks = 16;

std::unexpected<base::Error> failure(std::string detail) {
  return base::fail(base::ErrorCode::read_failed, std::move(detail));
}

std::unexpected<base::Error> cancelled() {
  return base::fail(base::ErrorCode::cancelled);
}

std::unexpected<base::Error> refusal(std::uint64_t needed, std::uint64_t budget) {
  return failure(fmt::format(
      "the document had grown to {} and was not finished; holding more would take more than the "
      "{} of memory available",
      base::gigabytes_and_bytes(needed), base::gigabytes_and_bytes(budget)));
}

// How long a wait for a pipe's writer or its data lasts before the stop check is asked again.
constexpr int kPollMilliseconds = 100;

// Waits until `fd` (not a regular file) has data, or its writers are gone; fails as cancelled
// once `stop_requested` says to give up. A signal ends the wait only on the thread it is
// delivered to, so the wait is also timed: a read on a worker thread learns of a stop within
// 0.1 s.
base::Expected<void> wait_readable(int fd, const StopCheck& stop_requested) {
  for (;;) {
    pollfd entry{.fd = fd, .events = POLLIN, .revents = 0};
    const int ready = ::poll(&entry, 1, stop_requested ? kPollMilliseconds : -1);
    if (ready > 0) return {};
    if (ready < 0 && errno != EINTR) return failure(base::os_error_text(errno));
    if (stop_requested && stop_requested()) return cancelled();
  }
}

// Closes the file however the read ends.
struct FileCloser {
  int fd;
  ~FileCloser() { ::close(fd); }
};

}  // namespace

base::Expected<std::string> read_text_file(std::string_view path, const StopCheck& stop_requested) {
  return read_text_file(path, stop_requested, base::available_memory());
}

base::Expected<std::string> read_text_file(std::string_view path, const StopCheck& stop_requested,
                                           std::optional<std::uint64_t> memory) {
  if (path.find('\0') != std::string_view::npos)
    return failure("the path contains a NUL character, which no file name can hold");
  const std::string name(path);
  // A FIFO opened without O_NONBLOCK would wait in open() for its writer, deaf to the stop
  // check; opened with it, the wait is the poll below, which tells no data from no writer yet
  // (no end of file is reported before a writer has come). Reads then block as usual.
  int fd = -1;
  while ((fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) < 0) {
    if (errno != EINTR) return failure(base::os_error_text(errno));
    if (stop_requested && stop_requested()) return cancelled();
  }
  const FileCloser closer{fd};
  if (const int flags = ::fcntl(fd, F_GETFL); flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  const std::uint64_t budget = memory.value_or(UINT64_MAX);

  std::string text;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > budget)
      return failure(fmt::format("the file holds {}, more than the {} of memory available",
                                 base::gigabytes_and_bytes(size),
                                 base::gigabytes_and_bytes(budget)));
  }
  // Set while the text is grown: a failed allocation then is a refusal to grow past the memory
  // the process may take, stated as such.
  bool growing = false;
  std::uint64_t needed = 0;
  try {
    if (S_ISREG(info.st_mode) && info.st_size > 0)
      text.reserve(static_cast<std::size_t>(info.st_size));
    std::array<char, kBlockSize> block;
    for (std::size_t blocks = 1;; ++blocks) {
      if (blocks % kBlocksBetweenChecks == 0 && stop_requested && stop_requested())
        return cancelled();
      if (!S_ISREG(info.st_mode))
        if (auto waited = wait_readable(fd, stop_requested); !waited)
          return std::unexpected(std::move(waited.error()));
      const ssize_t got = ::read(fd, block.data(), block.size());
      if (got < 0) {
        if (errno != EINTR) return failure(base::os_error_text(errno));
        if (stop_requested && stop_requested()) return cancelled();
        continue;
      }
      if (got == 0) break;
      const auto count = static_cast<std::size_t>(got);
      needed = std::uint64_t{text.size()} + count;
      if (needed > text.capacity()) {
        // Grown by doubling; while the text moves, the old and the new room are both held.
        const std::uint64_t held = text.capacity();
        const std::uint64_t room =
            budget > held ? std::min<std::uint64_t>(std::max(2 * held, needed), budget - held) : 0;
        // Mapped memory left over from earlier allocations counts against an address-space
        // limit too, so the reservation may fail below the budget: the same refusal.
        if (room < needed) return refusal(needed, budget);
        growing = true;
        text.reserve(static_cast<std::size_t>(room));
        growing = false;
      }
      text.append(block.data(), count);
    }
  } catch (const std::bad_alloc&) {
    if (growing) return refusal(needed, budget);
    return failure(fmt::format("the memory ran out while the document was read, after {}",
                               base::gigabytes_and_bytes(text.size())));
  }
  if (!json::is_valid_utf8(text)) return failure("stream did not contain valid UTF-8");
  return text;
}

}  // namespace velm::driver
