#include "linalg/blas_threads.hpp"

#include "linalg/lapack.hpp"

namespace velm::linalg {

void use_single_threaded_blas() {
  openblas_set_num_threads(1);
}

}  // namespace velm::linalg
