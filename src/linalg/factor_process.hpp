// A sparse factorisation in a process of its own, which can be ended at any moment. The solver
// library's factorisation is one call of up to minutes that polls nothing: a thread running it
// cannot be stopped, and the memory and the cores it holds stay taken until it returns. A child
// process forked after the analysis (which it inherits, with the matrix, copy on write) does the
// factorisation and then every solve; the parent waits on it, asking whether to stop every
// kPollMilliseconds, and ends it with SIGKILL when told to, which gives back its memory and its
// cores at once. A failure of the library that ends its process ends the child, not the caller.
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

  // Forks a child that factorises `ldlt` (analysed) with `null_pivot_threshold` and waits for
  // it, calling `stop` every kPollMilliseconds: when it says to stop, the child is killed and
  // the result is SparseSolverError::Kind::cancelled. The child's own failures come back as
  // they are; a child that dies fails with its signal named (out_of_memory for SIGKILL, which
  // the kernel sends when memory runs out). Without a process to be had (fork fails), nothing:
  // the caller factorises in its own process.
  static std::expected<std::unique_ptr<FactorProcess>, SparseSolverError> factorise(
      SparseLdlt& ldlt, double null_pivot_threshold, const std::function<bool()>& stop);

  ~FactorProcess();
  FactorProcess(const FactorProcess&) = delete;
  FactorProcess& operator=(const FactorProcess&) = delete;

  // What SparseLdlt tells after its factorisation, as the child's told it.
  double determinant() const { return determinant_; }
  const std::vector<std::int64_t>& null_pivots() const { return null_pivots_; }
  std::int64_t negative_pivots() const { return negative_pivots_; }
  Definiteness definiteness() const { return definiteness_; }

  // Solves in the child, through memory shared with it, kChunk right-hand sides at a time.
  std::expected<void, SparseSolverError> solve(double* rhs, std::int32_t count) const;

 private:
  FactorProcess() = default;
  // Waits for `bytes` from the child; with `stop`, asking it every kPollMilliseconds.
  std::expected<void, SparseSolverError> receive(void* data, std::size_t bytes,
                                                 const std::function<bool()>* stop) const;
  std::expected<std::string, SparseSolverError> receive_error() const;
  SparseSolverError ended() const;

  pid_t child_ = -1;
  int commands_ = -1;  // parent -> child
  int replies_ = -1;   // child -> parent
  double* shared_ = nullptr;
  std::size_t shared_bytes_ = 0;
  std::size_t size_ = 0;    // unknowns
  std::int32_t chunk_ = 1;  // right-hand sides the shared memory holds
  double determinant_ = 1.0;
  std::vector<std::int64_t> null_pivots_;
  std::int64_t negative_pivots_ = 0;
  Definiteness definiteness_ = Definiteness::indefinite;
};

}  // namespace velm::linalg
