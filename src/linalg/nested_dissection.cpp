#include "linalg/nested_dissection.hpp"

#include <metis.h>
#include <pthread.h>

#include <algorithm>
#include <mutex>
#include <new>

#include "base/internal_fault.hpp"

static_assert(sizeof(idx_t) == sizeof(std::int32_t), "the partitioner counts in 32-bit integers");

namespace velm::linalg {

namespace {

// The seed of the partitioner's random choices: any fixed value makes the ordering reproducible.
constexpr idx_t kSeed = 20;

// The partitioner's random generator is process-wide state: two calls at once would draw from
// one sequence and each take an ordering that depends on the other's timing. A fork waits for
// the call in progress, as for the sparse solver's lock, and the child starts with a free lock.
alignas(std::mutex) unsigned char lock_storage[sizeof(std::mutex)];
std::mutex* the_lock = nullptr;

void lock_before_fork() {
  the_lock->lock();
}
void unlock_in_parent() {
  the_lock->unlock();
}
void renew_in_child() {
  the_lock = ::new (lock_storage) std::mutex;
}

std::mutex& partitioner_lock() {
  static const bool registered = [] {
    the_lock = ::new (lock_storage) std::mutex;
    ::pthread_atfork(lock_before_fork, unlock_in_parent, renew_in_child);
    return true;
  }();
  (void)registered;
  return *the_lock;
}

}  // namespace

GroupGraph group_graph(const SparseSymmetricMatrix& matrix,
                       const std::vector<std::int32_t>& group_starts) {
  const auto groups = group_starts.size();
  const auto n = static_cast<std::size_t>(matrix.size);
  std::vector<std::int32_t> group_of(n);
  GroupGraph graph;
  graph.weight.resize(groups);
  for (std::size_t g = 0; g < groups; ++g) {
    const auto first = static_cast<std::size_t>(group_starts[g]);
    const std::size_t last = g + 1 < groups ? static_cast<std::size_t>(group_starts[g + 1]) : n;
    if (last < first || last > n) throw InternalFault(kIndexOutOfBounds);
    graph.weight[g] = static_cast<std::int32_t>(last - first);
    std::fill(group_of.begin() + static_cast<std::ptrdiff_t>(first),
              group_of.begin() + static_cast<std::ptrdiff_t>(last), static_cast<std::int32_t>(g));
  }
  // The pairs of groups, each direction once; entries of one pair of groups usually follow one
  // another, so a repeat of the last pair is dropped before it is counted.
  std::vector<std::int32_t> from, to;
  std::int32_t last_a = -1, last_b = -1;
  for (std::size_t k = 0; k < matrix.rows.size(); ++k) {
    const std::int32_t a = group_of[static_cast<std::size_t>(matrix.rows[k] - 1)];
    const std::int32_t b = group_of[static_cast<std::size_t>(matrix.cols[k] - 1)];
    if (a == b || (a == last_a && b == last_b)) continue;
    last_a = a;
    last_b = b;
    from.push_back(a);
    to.push_back(b);
  }
  graph.starts.assign(groups + 1, 0);
  for (std::size_t e = 0; e < from.size(); ++e) {
    ++graph.starts[static_cast<std::size_t>(from[e]) + 1];
    ++graph.starts[static_cast<std::size_t>(to[e]) + 1];
  }
  for (std::size_t g = 0; g < groups; ++g) graph.starts[g + 1] += graph.starts[g];
  std::vector<std::int32_t> all(static_cast<std::size_t>(graph.starts[groups]));
  std::vector<std::int32_t> fill(graph.starts.begin(), graph.starts.end() - 1);
  for (std::size_t e = 0; e < from.size(); ++e) {
    all[static_cast<std::size_t>(fill[static_cast<std::size_t>(from[e])]++)] = to[e];
    all[static_cast<std::size_t>(fill[static_cast<std::size_t>(to[e])]++)] = from[e];
  }
  // Sorted and made unique per vertex.
  graph.neighbours.reserve(all.size());
  std::vector<std::int32_t> starts(groups + 1, 0);
  for (std::size_t g = 0; g < groups; ++g) {
    auto first = all.begin() + graph.starts[g], last = all.begin() + graph.starts[g + 1];
    std::sort(first, last);
    last = std::unique(first, last);
    graph.neighbours.insert(graph.neighbours.end(), first, last);
    starts[g + 1] = static_cast<std::int32_t>(graph.neighbours.size());
  }
  graph.starts = std::move(starts);
  return graph;
}

std::expected<std::vector<std::int32_t>, OrderingFailure> nested_dissection(
    const GroupGraph& graph) {
  idx_t vertices = graph.vertices();
  std::vector<std::int32_t> order(static_cast<std::size_t>(vertices));
  if (vertices == 0) return order;
  std::vector<std::int32_t> position(static_cast<std::size_t>(vertices));
  idx_t options[METIS_NOPTIONS];
  METIS_SetDefaultOptions(options);
  options[METIS_OPTION_SEED] = kSeed;
  options[METIS_OPTION_NUMBERING] = 0;

  // The partitioner reads but does not write its graph; its interface is not const.
  auto* starts = const_cast<idx_t*>(graph.starts.data());
  auto* neighbours = const_cast<idx_t*>(graph.neighbours.data());
  auto* weight = const_cast<idx_t*>(graph.weight.data());
  int status = 0;
  {
    const std::lock_guard<std::mutex> guard(partitioner_lock());
    // perm (the first array written) is the vertex at each position, iperm its inverse.
    status =
        METIS_NodeND(&vertices, starts, neighbours, weight, options, order.data(), position.data());
  }
  if (status == METIS_ERROR_MEMORY) return std::unexpected(OrderingFailure::out_of_memory);
  if (status != METIS_OK) return std::unexpected(OrderingFailure::failed);
  return order;
}

std::vector<std::int32_t> unknown_positions(const std::vector<std::int32_t>& group_starts,
                                            std::int32_t size,
                                            const std::vector<std::int32_t>& group_order) {
  std::vector<std::int32_t> positions(static_cast<std::size_t>(size));
  std::int32_t next = 1;
  for (const std::int32_t g : group_order) {
    const auto k = static_cast<std::size_t>(g);
    const std::int32_t last = k + 1 < group_starts.size() ? group_starts[k + 1] : size;
    for (std::int32_t u = group_starts[k]; u < last; ++u)
      positions[static_cast<std::size_t>(u)] = next++;
  }
  if (next != size + 1) throw InternalFault(kIndexOutOfBounds);
  return positions;
}

}  // namespace velm::linalg
