// The lowest natural modes of K phi = omega^2 M phi over the unknowns of a model.
#pragma once

#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "linalg/types.hpp"
#include "system/factorisation.hpp"
#include "system/sparse_global_matrix.hpp"

namespace velm::engineering {

struct Mode {
  double omega;          // circular frequency
  linalg::Vector shape;  // over the unknowns
};

// Systems up to this order are solved densely.
inline constexpr std::size_t kDenseModesOrder = 400;

// The `count` lowest modes (fewer where M has fewer non-zero eigenvalues), densely from K and M.
base::Expected<std::vector<Mode>> dense_modes(const system::SparseGlobalMatrix& k,
                                              const system::SparseGlobalMatrix& m, int count);

// The same for larger systems, on the factorisation of K (see the .cpp for the method). Fails
// with solver_failed when it does not settle, cancelled when the monitor asks to stop.
base::Expected<std::vector<Mode>> lowest_modes(const system::SparseGlobalMatrix& m,
                                               const system::Factorisation& factor, int count,
                                               base::Monitor& monitor);

}  // namespace velm::engineering
