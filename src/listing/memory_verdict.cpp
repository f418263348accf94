#include "listing/memory_verdict.hpp"

#include <string>

#include "base/units.hpp"
#include "listing/dense_global_matrix.hpp"

namespace velm::listing {

std::optional<std::uint64_t> dense_analysis_bytes(std::uint64_t node_count) {
  constexpr std::uint64_t kDofsPerNode = 6;
  constexpr std::uint64_t kMatricesAlive = 3;
  std::uint64_t dofs = 0, total = 0;
  if (__builtin_mul_overflow(node_count, kDofsPerNode, &dofs)) return std::nullopt;
  const std::optional<std::uint64_t> one = DenseGlobalMatrix::bytes_needed(dofs);
  if (!one || __builtin_mul_overflow(*one, kMatricesAlive, &total)) return std::nullopt;
  return total;
}

base::Expected<void> check_memory_budget(std::uint32_t node_count,
                                         std::optional<std::uint64_t> needed,
                                         std::optional<std::uint64_t> available) {
  const std::string nodes = "The model has " + std::to_string(node_count) + " nodes; ";
  if (!needed)
    return base::fail(base::ErrorCode::too_large,
                      nodes +
                          "its global stiffness matrices would need more bytes of memory than "
                          "a 64-bit count can hold.");
  if (available && *needed > *available)
    return base::fail(base::ErrorCode::too_large,
                      nodes + "its global stiffness matrices would need " +
                          base::gigabytes_and_bytes(*needed) + " of memory, more than the " +
                          base::gigabytes(*available) + " available.");
  return {};
}

}  // namespace velm::listing
