#include "base/memory_budget.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "base/cgroup_memory.hpp"

namespace velm::base {

namespace {

std::optional<std::uint64_t> physical_memory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page_size = ::sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page_size <= 0) return std::nullopt;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
}

// A whole (small) file, nothing when it cannot be read.
std::optional<std::string> read_small_file(const std::string& path) {
  std::ifstream file(path);
  if (!file) return std::nullopt;
  std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) return std::nullopt;
  return text;
}

// What the address-space limit (RLIMIT_AS, `ulimit -v`) leaves of it: the limit less the
// address space the process has mapped already; nothing when there is no limit.
std::optional<std::uint64_t> address_space_left() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  const auto cap = static_cast<std::uint64_t>(limit.rlim_cur);
  std::ifstream statm("/proc/self/statm");
  std::uint64_t mapped_pages = 0;
  const long page_size = ::sysconf(_SC_PAGE_SIZE);
  if (!(statm >> mapped_pages) || page_size <= 0) return cap;
  const std::uint64_t mapped = mapped_pages * static_cast<std::uint64_t>(page_size);
  return cap > mapped ? cap - mapped : 0;
}

}  // namespace

std::optional<std::uint64_t> available_memory() {
  std::optional<std::uint64_t> smallest;
  for (const std::optional<std::uint64_t> bound :
       {physical_memory(), cgroup::memory_left(read_small_file), address_space_left()}) {
    if (bound && (!smallest || *bound < *smallest)) smallest = bound;
  }
  return smallest;
}

std::optional<std::uint64_t> with_margin(std::optional<std::uint64_t> available) {
  if (!available) return std::nullopt;
  if (*available <= kFixedMargin) return 0;
  const std::uint64_t rest = *available - kFixedMargin;
  return rest - rest / kMarginDivisor;
}

std::optional<std::uint64_t> analysis_budget() {
  return with_margin(available_memory());
}

}  // namespace velm::base
