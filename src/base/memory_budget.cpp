#include "base/memory_budget.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>


namespace velm::base {

namespace {

constexpr const char* kCgroupLimitFile = "/sys/fs/cgroup/memory.max";

std::optional<std::uint64_t> physical_memory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page_size = ::sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page_size <= 0) return std::nullopt;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
}

// "max" (no limit) or a missing file give nothing.
std::optional<std::uint64_t> cgroup_limit() {
  std::ifstream file(kCgroupLimitFile);
  std::string text;
  if (!file || !std::getline(file, text)) return std::nullopt;
  std::uint64_t limit = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), limit);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return limit;
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
       {physical_memory(), cgroup_limit(), address_space_left()}) {
    if (bound && (!smallest || *bound < *smallest)) smallest = bound;
  }
  return smallest;
}

}  // namespace velm::base
