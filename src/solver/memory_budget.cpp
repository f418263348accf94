#include "solver/memory_budget.hpp"

#include <fmt/format.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>

#include "solver/dense_global_matrix.hpp"

namespace velm::solver {

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

std::string gigabytes(std::uint64_t bytes) {
  return fmt::format("{:.1f} GB", static_cast<double>(bytes) / 1e9);
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

std::optional<std::uint64_t> dense_analysis_bytes(std::uint64_t node_count) {
  constexpr std::uint64_t kDofsPerNode = 6;
  constexpr std::uint64_t kMatricesAlive = 3;
  std::uint64_t dofs = 0, total = 0;
  if (__builtin_mul_overflow(node_count, kDofsPerNode, &dofs)) return std::nullopt;
  const std::optional<std::uint64_t> one = DenseGlobalMatrix::bytes_needed(dofs);
  if (!one || __builtin_mul_overflow(*one, kMatricesAlive, &total)) return std::nullopt;
  return total;
}

std::expected<void, std::string> check_memory_budget(std::uint32_t node_count,
                                                     std::optional<std::uint64_t> needed,
                                                     std::optional<std::uint64_t> available) {
  const std::string nodes = "The model has " + std::to_string(node_count) + " nodes; ";
  if (!needed)
    return std::unexpected(nodes +
                           "its global stiffness matrices would need more bytes of memory than "
                           "a 64-bit count can hold.");
  if (available && *needed > *available)
    return std::unexpected(nodes + "its global stiffness matrices would need " +
                           gigabytes(*needed) + " (" + std::to_string(*needed) +
                           " bytes) of memory, more than the " + gigabytes(*available) +
                           " available.");
  return {};
}

}  // namespace velm::solver
