// The threading of the linked BLAS. Its thread count is one process-wide setting, read by every
// call, and a threaded factorisation rounds differently from a single-threaded one, so the
// count a call runs with is made part of the call's own arithmetic: every BLAS user of the
// engine holds one of the two guards below, and the count changes only while no other BLAS
// call is running.
#pragma once

namespace velm::linalg {

// Every BLAS and LAPACK call of the process runs on the calling thread alone from now on (the
// setting between the guarded calls of the engineering solver).
void use_single_threaded_blas();

// The cores the process may run on (its affinity mask), at least 1; counted once.
int available_cores();

// Held around a LAPACK call that must run on the calling thread alone (the listing path's band
// and dense LU): shared with other such calls, never with a SolverBlas. The first guard of the
// process, of either kind, sets the count to one, the setting outside solver calls.
class SingleThreadedBlas {
 public:
  SingleThreadedBlas();
  ~SingleThreadedBlas();
  SingleThreadedBlas(const SingleThreadedBlas&) = delete;
  SingleThreadedBlas& operator=(const SingleThreadedBlas&) = delete;
};

// Held around a call of the engineering solver: the BLAS runs on available_cores() threads
// for it, alone in the process, and on one again afterwards. The count is the same for every
// call of the process, so results do not depend on what else runs at the same time.
class SolverBlas {
 public:
  SolverBlas();
  ~SolverBlas();
  SolverBlas(const SolverBlas&) = delete;
  SolverBlas& operator=(const SolverBlas&) = delete;
};

// Registers the guards' lock with fork(): a fork waits for the guarded calls in progress and
// the child starts with a free lock. To be called before any other lock that is held across a
// fork and taken before these guards is registered (fork handlers run in reverse order).
void register_blas_fork_handlers();

}  // namespace velm::linalg
