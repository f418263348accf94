#include "linalg/blas_threads.hpp"

#include <pthread.h>
#include <sched.h>

#include <mutex>
#include <new>
#include <shared_mutex>

#include "linalg/lapack.hpp"

namespace velm::linalg {

namespace {

// Shared by the single-threaded calls, exclusive for the solver's. Placed in static storage so
// that the child of a fork can construct a fresh one in its place (the inherited one may be
// held by threads the child does not have).
alignas(std::shared_mutex) unsigned char lock_storage[sizeof(std::shared_mutex)];
std::shared_mutex* the_lock = nullptr;

void lock_before_fork() {
  the_lock->lock();
}
void unlock_in_parent() {
  the_lock->unlock();
}
void renew_in_child() {
  the_lock = ::new (lock_storage) std::shared_mutex;
}

std::shared_mutex& blas_lock() {
  static const bool made = [] {
    the_lock = ::new (lock_storage) std::shared_mutex;
    ::pthread_atfork(lock_before_fork, unlock_in_parent, renew_in_child);
    // The library starts on every core; the count between guarded solver calls is one.
    openblas_set_num_threads(1);
    return true;
  }();
  (void)made;
  return *the_lock;
}

}  // namespace

void use_single_threaded_blas() {
  const std::unique_lock<std::shared_mutex> guard(blas_lock());
  openblas_set_num_threads(1);
}

int available_cores() {
  static const int cores = [] {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof(set), &set) != 0) return 1;
    const int count = CPU_COUNT(&set);
    return count > 0 ? count : 1;
  }();
  return cores;
}

void register_blas_fork_handlers() {
  (void)blas_lock();
}

SingleThreadedBlas::SingleThreadedBlas() {
  blas_lock().lock_shared();
}
SingleThreadedBlas::~SingleThreadedBlas() {
  blas_lock().unlock_shared();
}

SolverBlas::SolverBlas() {
  blas_lock().lock();
  openblas_set_num_threads(available_cores());
}
SolverBlas::~SolverBlas() {
  openblas_set_num_threads(1);
  blas_lock().unlock();
}

}  // namespace velm::linalg
