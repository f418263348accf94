#include "linalg/sparse_ldlt.hpp"

#include <dmumps_c.h>
#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>

#include "base/internal_fault.hpp"
#include "linalg/blas_threads.hpp"
#include "linalg/nested_dissection.hpp"

namespace velm::linalg {

namespace {

// The sequential solver library keeps Fortran module variables (load balancing, buffers,
// low-rank data) for the call in progress, so two calls may never run at once, even on
// different instances. Every call goes through this lock; an instance's own state lives in its
// structure, so calls of different instances may interleave.
//
// A process forked while another thread is inside a call (multiprocessing's fork start
// method) would inherit the lock held by a thread it does not have, and deadlock on its first
// call. Nor would a fresh lock do: the child also inherits the module variables of the call in
// progress, still allocated, and its own factorisation then fails to allocate them (tried: it
// reports running out of memory). So fork() waits for the call in progress to end (at most one
// job of the solver: the factorisation of the largest model being analysed) and then holds the
// lock across the fork; the parent releases it, and the child, whose copy of the library is
// then between calls, starts with a fresh, free lock.
alignas(std::mutex) unsigned char lock_storage[sizeof(std::mutex)];
std::mutex* the_lock = nullptr;

void lock_before_fork() {
  the_lock->lock();
}
void unlock_in_parent() {
  the_lock->unlock();
}
void renew_in_child() {
  // The child's only thread holds the inherited lock; a new one takes its place.
  the_lock = ::new (lock_storage) std::mutex;
}

std::mutex& library_lock() {
  static const bool registered = [] {
    // The BLAS guard is taken inside this lock, so its fork handlers come first: prepare
    // handlers run in reverse order of registration, which takes this lock before it.
    register_blas_fork_handlers();
    the_lock = ::new (lock_storage) std::mutex;
    ::pthread_atfork(lock_before_fork, unlock_in_parent, renew_in_child);
    return true;
  }();
  (void)registered;
  return *the_lock;
}

constexpr int kUseCommWorld = -987654;  // the sequential library's stand-in communicator
constexpr int kJobInit = -1, kJobEnd = -2, kJobAnalyse = 1, kJobFactorise = 2, kJobSolve = 3;

// Error codes of INFO(1) that mean the memory ran out.
bool is_memory_failure(int code) {
  return code == -7 || code == -8 || code == -9 || code == -11 || code == -13 || code == -14 ||
         code == -15 || code == -17 || code == -19 || code == -20;
}

// The control parameters are one-based in the library's documentation.
int& icntl(DMUMPS_STRUC_C& id, int i) {
  return id.icntl[i - 1];
}
double& cntl(DMUMPS_STRUC_C& id, int i) {
  return id.cntl[i - 1];
}

}  // namespace

struct SparseLdlt::Instance {
  DMUMPS_STRUC_C id{};
  bool alive = false;

  void call(int job) {
    id.job = job;
    const std::lock_guard<std::mutex> guard(library_lock());
    const SolverBlas every_core;
    dmumps_c(&id);
  }
  ~Instance() {
    if (alive) call(kJobEnd);
  }
};

SparseLdlt::SparseLdlt(SparseSymmetricMatrix matrix, Definiteness expected)
    : matrix_(std::move(matrix)), definiteness_(expected) {
  start();
}

void SparseLdlt::start() {
  instance_ = std::make_unique<Instance>();
  DMUMPS_STRUC_C& id = instance_->id;
  // Positive definite: a Cholesky-like LDL^T without pivoting. Otherwise general symmetric
  // LDL^T with threshold pivoting, whose null-pivot detection reports the rows of a singular
  // (mechanism) matrix and whose inertia counts the negative eigenvalues; on stiffness matrices
  // it keeps the diagonal pivots.
  id.sym = definiteness_ == Definiteness::positive ? 1 : 2;
  id.par = 1;
  id.comm_fortran = kUseCommWorld;
  instance_->call(kJobInit);
  if (id.infog[0] < 0)
    throw InternalFault("The sparse solver could not be initialised (code " +
                        std::to_string(id.infog[0]) + ").");
  instance_->alive = true;
  // Quiet: no message, diagnostic or statistics stream.
  icntl(id, 1) = -1;
  icntl(id, 2) = -1;
  icntl(id, 3) = -1;
  icntl(id, 4) = 0;
}

SparseLdlt::~SparseLdlt() = default;

std::expected<void, SparseSolverError> SparseLdlt::analyse(Ordering ordering) {
  DMUMPS_STRUC_C& id = instance_->id;
  id.n = matrix_.size;
  id.nnz = matrix_.entries();
  id.irn = matrix_.rows.data();
  id.jcn = matrix_.cols.data();
  icntl(id, 5) = 0;  // assembled matrix
  if (ordering == Ordering::automatic)
    ordering = !matrix_.groups.empty() &&
                       matrix_.groups.size() >= static_cast<std::size_t>(kNestedDissectionGroups)
                   ? Ordering::nested_dissection
                   : Ordering::minimum_fill;
  ordering_ = ordering;
  if (ordering == Ordering::nested_dissection) {
    // Nested dissection of the graph of the groups (one group per unknown when none are
    // named), handed to the library as the pivot order.
    std::vector<std::int32_t> groups = matrix_.groups;
    if (groups.empty()) {
      groups.resize(static_cast<std::size_t>(matrix_.size));
      for (std::int32_t i = 0; i < matrix_.size; ++i) groups[static_cast<std::size_t>(i)] = i;
    }
    auto order = nested_dissection(group_graph(matrix_, groups));
    if (!order) {
      if (order.error() == OrderingFailure::out_of_memory)
        return std::unexpected(SparseSolverError{SparseSolverError::Kind::out_of_memory,
                                                 "not enough memory to order the matrix"});
      return std::unexpected(
          SparseSolverError{SparseSolverError::Kind::failed, "the ordering of the matrix failed"});
    }
    positions_ = unknown_positions(groups, matrix_.size, *order);
    id.perm_in = positions_.data();
    icntl(id, 7) = 1;
  } else {
    // Approximate minimum fill: on building frames of 10^4 nodes it left 8% less fill than
    // approximate minimum degree, and on small models less than nested dissection.
    icntl(id, 7) = 2;
  }
  icntl(id, 8) = 0;  // no scaling of the library's own: the factorisation scales to a unit diagonal
  icntl(id, 28) = 1;  // sequential analysis
  instance_->call(kJobAnalyse);
  positions_.clear();
  positions_.shrink_to_fit();
  id.perm_in = nullptr;
  if (id.infog[0] < 0) {
    const int code = id.infog[0];
    if (is_memory_failure(code))
      return std::unexpected(SparseSolverError{SparseSolverError::Kind::out_of_memory,
                                               "not enough memory to order the matrix"});
    return std::unexpected(
        SparseSolverError{SparseSolverError::Kind::failed,
                          "the ordering of the matrix failed (code " + std::to_string(code) + ")"});
  }
  return {};
}

std::uint64_t SparseLdlt::estimated_bytes() const {
  // INFOG(17): whole megabytes (10^6 bytes) of the in-core factorisation, which rounds a small
  // one down to nothing; the factor's own entries set the floor.
  const auto megabytes = static_cast<std::uint64_t>(std::max(0, instance_->id.infog[16]));
  return std::max(megabytes * 1000000u, estimated_factor_entries() * sizeof(double));
}

double SparseLdlt::estimated_flops() const {
  return instance_->id.rinfog[0];  // RINFOG(1)
}

std::uint64_t SparseLdlt::estimated_factor_entries() const {
  // INFOG(3): entries of the factor, or minus millions of entries when negative.
  const int value = instance_->id.infog[2];
  return value >= 0 ? static_cast<std::uint64_t>(value)
                    : static_cast<std::uint64_t>(-static_cast<std::int64_t>(value)) * 1000000u;
}

std::expected<void, SparseSolverError> SparseLdlt::factorise(double null_pivot_threshold) {
  DMUMPS_STRUC_C& id = instance_->id;
  const auto n = static_cast<std::size_t>(matrix_.size);
  if (!scaled_) {
    scale_.assign(n, 1.0);
    for (std::size_t k = 0; k < matrix_.values.size(); ++k) {
      if (matrix_.rows[k] != matrix_.cols[k]) continue;
      const double diagonal = matrix_.values[k];
      if (diagonal > 0.0 && std::isfinite(diagonal))
        scale_[static_cast<std::size_t>(matrix_.rows[k] - 1)] = 1.0 / std::sqrt(diagonal);
    }
    for (std::size_t k = 0; k < matrix_.values.size(); ++k)
      matrix_.values[k] *= scale_[static_cast<std::size_t>(matrix_.rows[k] - 1)] *
                           scale_[static_cast<std::size_t>(matrix_.cols[k] - 1)];
    scaled_ = true;
  }
  id.a = matrix_.values.data();
  icntl(id, 24) = 1;                    // detect null pivots
  icntl(id, 33) = 1;                    // and form the determinant, as mantissa and exponent
  cntl(id, 3) = -null_pivot_threshold;  // negative: an absolute threshold
  cntl(id, 5) = 0.0;
  if (definiteness_ == Definiteness::positive) {
    // Without pivoting the library reports no null pivot rows; instead every pivot below the
    // threshold is counted (INFOG(25)) as it is raised to it. In the unit-diagonal scaling a
    // pivot is never larger than its remaining row, so every row that the pivoting
    // factorisation would find null is counted here, and then decided by it.
    cntl(id, 4) = null_pivot_threshold;
    icntl(id, 24) = 0;
  }
  instance_->call(kJobFactorise);
  const int code = id.infog[0];
  // A matrix taken for positive definite that is not (a pivot below the threshold, a negative
  // one, or the library's own refusal of a pivot, -10) is factorised again from the start with
  // pivoting, on the same scaled values: its null pivots, inertia and determinant are then exactly
  // those of a factorisation that never assumed definiteness.
  const bool not_definite =
      code == -10 || (code >= 0 && (id.infog[24] > 0 || id.infog[27] > 0 || id.infog[11] > 0));
  if (definiteness_ == Definiteness::positive && not_definite) {
    definiteness_ = Definiteness::indefinite;
    start();
    if (auto ordered = analyse(ordering_); !ordered) return ordered;
    return factorise(null_pivot_threshold);
  }
  if (code < 0) {
    if (is_memory_failure(code))
      return std::unexpected(SparseSolverError{SparseSolverError::Kind::out_of_memory,
                                               "not enough memory to factorise the matrix"});
    return std::unexpected(
        SparseSolverError{SparseSolverError::Kind::failed,
                          "the factorisation failed (code " + std::to_string(code) + ")"});
  }
  null_pivots_.clear();
  for (int i = 0; i < id.infog[27]; ++i) null_pivots_.push_back(id.pivnul_list[i] - 1);
  std::sort(null_pivots_.begin(), null_pivots_.end());
  negative_pivots_ = id.infog[11];  // INFOG(12): negative pivots of a symmetric matrix
  return {};
}

double SparseLdlt::determinant() const {
  // RINFOG(12) * 2^INFOG(34) is the determinant of the scaled matrix S A S; det(A) divides it
  // by the product of the squared scale factors. Mantissa and exponent are kept apart on the
  // way, so that no intermediate product leaves the range of a double.
  const DMUMPS_STRUC_C& id = instance_->id;
  if (matrix_.size == 0) return 1.0;
  int exponent = id.infog[33];
  double mantissa = id.rinfog[11];
  for (const double s : scale_) {
    int e = 0;
    mantissa = std::frexp(mantissa / (s * s), &e);
    exponent += e;
  }
  return std::ldexp(mantissa, exponent);
}

std::expected<void, SparseSolverError> SparseLdlt::solve(double* rhs, std::int32_t count) {
  DMUMPS_STRUC_C& id = instance_->id;
  const auto n = static_cast<std::size_t>(matrix_.size);
  if (n == 0 || count == 0) return {};
  // A x = b  <=>  (S A S) (S^-1 x) = S b with S = D^-1/2.
  for (std::int32_t c = 0; c < count; ++c)
    for (std::size_t i = 0; i < n; ++i) rhs[static_cast<std::size_t>(c) * n + i] *= scale_[i];
  id.rhs = rhs;
  id.nrhs = count;
  id.lrhs = matrix_.size;
  icntl(id, 20) = 0;  // dense right-hand sides
  icntl(id, 21) = 0;  // solution in place of the right-hand sides
  instance_->call(kJobSolve);
  if (id.infog[0] < 0) {
    const int code = id.infog[0];
    if (is_memory_failure(code))
      return std::unexpected(
          SparseSolverError{SparseSolverError::Kind::out_of_memory, "not enough memory to solve"});
    return std::unexpected(SparseSolverError{
        SparseSolverError::Kind::failed, "the solve failed (code " + std::to_string(code) + ")"});
  }
  for (std::int32_t c = 0; c < count; ++c)
    for (std::size_t i = 0; i < n; ++i) rhs[static_cast<std::size_t>(c) * n + i] *= scale_[i];
  return {};
}

}  // namespace velm::linalg
