// A sparse factorisation in a process of its own, which can be ended at any moment. The solver
// library's ordering and factorisation are calls of up to minutes that poll nothing: a thread
// running them cannot be stopped, and the memory and the cores they hold stay taken until they
// return. A child process forked before the ordering (it inherits the matrix, copy on write)
// orders, factorises when told to, and then does every solve; the parent waits on it, asking
// whether to stop every kPollMilliseconds, and ends it with SIGKILL when told to, which gives
// back its memory and its cores at once (the kernel frees them within a second; the child is
// reaped on a thread of its own, so that nobody waits for that). A failure of the library that ends
// its process ends the child, not the caller.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <vector>

#include "linalg/sparse_ldlt.hpp"

namespace velm::linalg {

class FactorProcess {
 public:
  static constexpr int kPollMilliseconds = 50;
  // Asked while the parent waits; true ends the child.
  using Stop = std::function<bool()>;

  // Forks a child that analyses `ldlt` (a fresh one, not analysed: the analysis is the child's)
  // with `ordering`, and waits for it, calling `stop` every kPollMilliseconds: when it says to
  // stop, the child is killed and the result is SparseSolverError::Kind::cancelled. The child's
  // own failures come back as they are; a child that dies fails with its signal named
  // (out_of_memory for SIGKILL, which the kernel sends when memory runs out). Without a process
  // to be had (fork fails), nothing: the caller works in its own process.
  static std::expected<std::unique_ptr<FactorProcess>, SparseSolverError> analyse(SparseLdlt& ldlt,
                                                                                  Ordering ordering,
                                                                                  const Stop& stop);

  ~FactorProcess();
  FactorProcess(const FactorProcess&) = delete;
  FactorProcess& operator=(const FactorProcess&) = delete;

  // What SparseLdlt tells after its analysis, as the child's told it.
  std::uint64_t estimated_bytes() const { return estimated_bytes_; }
  std::uint64_t estimated_factor_entries() const { return estimated_entries_; }
  double estimated_flops() const { return estimated_flops_; }

  // Factorises in the child (SparseLdlt::factorise), waiting as analyse() does.
  std::expected<void, SparseSolverError> factorise(double null_pivot_threshold, const Stop& stop);

  // What SparseLdlt tells after its factorisation, as the child's told it.
  double determinant() const { return determinant_; }
  const std::vector<std::int64_t>& null_pivots() const { return null_pivots_; }
  std::int64_t negative_pivots() const { return negative_pivots_; }
  Definiteness definiteness() const { return definiteness_; }

  // Solves in the child, through memory shared with it, as many right-hand sides at a time as
  // it holds. With `stop`, asked while the child solves, as analyse() does; the process has
  // then ended, and so has every later solve.
  std::expected<void, SparseSolverError> solve(double* rhs, std::int32_t count,
                                               const Stop* stop = nullptr) const;

  // The header of the child's replies (public for the child's side, which is no member).
  struct Reply;

 private:
  FactorProcess() = default;
  // Sends a command and takes the child's reply (its header, null pivots and error text).
  // With `null_pivots`, the pivots the reply lists go there.
  std::expected<Reply, SparseSolverError> ask(
      std::int32_t operation, std::int32_t count, double value, const Stop* stop,
      std::vector<std::int64_t>* null_pivots = nullptr) const;
  std::expected<Reply, SparseSolverError> answer(
      const Stop* stop, std::vector<std::int64_t>* null_pivots = nullptr) const;
  // Waits for `bytes` from the child; with `stop`, asking it every kPollMilliseconds.
  std::expected<void, SparseSolverError> receive(void* data, std::size_t bytes,
                                                 const Stop* stop) const;
  // The child has ended: how, as a failure (and no child is left).
  SparseSolverError ended() const;
  // Ends the child with SIGKILL, which frees its memory and cores, and reaps it apart.
  void end_child() const;

  mutable pid_t child_ = -1;
  int commands_ = -1;  // parent -> child
  int replies_ = -1;   // child -> parent
  double* shared_ = nullptr;
  std::size_t shared_bytes_ = 0;
  std::size_t size_ = 0;    // unknowns
  std::int32_t chunk_ = 1;  // right-hand sides the shared memory holds
  std::uint64_t estimated_bytes_ = 0;
  std::uint64_t estimated_entries_ = 0;
  double estimated_flops_ = 0.0;
  double determinant_ = 1.0;
  std::vector<std::int64_t> null_pivots_;
  std::int64_t negative_pivots_ = 0;
  Definiteness definiteness_ = Definiteness::indefinite;
};

}  // namespace velm::linalg
