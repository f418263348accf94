// The floor of the engineering benchmark: the assembled stiffness of a model factorised and
// solved by a supernodal sparse Cholesky with a nested-dissection ordering, its dense kernels on
// every core. Used by the benchmark only (its licence keeps it out of the engine).
//
//     cholmod_timer MODEL.json
//
// Prints one JSON object: the times of the ordering, the factorisation and the solve of all
// load cases, and the factor's entries.
#include <cholmod.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "base/monitor.hpp"
#include "driver/text_file.hpp"
#include "frame/structure.hpp"
#include "linalg/blas_threads.hpp"
#include "linalg/lapack.hpp"
#include "model/document.hpp"
#include "system/assembly.hpp"
#include "system/discrete_model.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: cholmod_timer MODEL.json\n");
    return 2;
  }
  const auto text = velm::driver::read_text_file(argv[1]);
  const auto model = velm::model::parse_model(*text);
  const auto structure = velm::frame::build_structure(*model);
  const velm::system::DiscreteModel discrete(*structure);
  velm::base::Monitor quiet;
  const auto matrix =
      std::move(*velm::system::assemble_stiffness(
                    discrete, std::vector<std::uint8_t>(structure->members.size(), 1), quiet))
          .release();
  const std::size_t cases = model->load_cases.size();
  openblas_set_num_threads(velm::linalg::available_cores());

  cholmod_common common;
  cholmod_start(&common);
  common.nmethods = 1;
  common.method[0].ordering = CHOLMOD_METIS;
  common.postorder = 1;
  common.supernodal = CHOLMOD_SUPERNODAL;
  const auto n = static_cast<std::size_t>(matrix.size);
  const auto entries = static_cast<std::size_t>(matrix.entries());
  cholmod_triplet* triplet = cholmod_allocate_triplet(n, n, entries, 1, CHOLMOD_REAL, &common);
  auto* ti = static_cast<int*>(triplet->i);
  auto* tj = static_cast<int*>(triplet->j);
  auto* tx = static_cast<double*>(triplet->x);
  for (std::size_t k = 0; k < entries; ++k) {
    ti[k] = matrix.rows[k] - 1;
    tj[k] = matrix.cols[k] - 1;
    tx[k] = matrix.values[k];
  }
  triplet->nnz = entries;
  cholmod_sparse* a = cholmod_triplet_to_sparse(triplet, entries, &common);
  cholmod_free_triplet(&triplet, &common);
  cholmod_dense* b = cholmod_ones(n, cases, CHOLMOD_REAL, &common);

  auto mark = Clock::now();
  cholmod_factor* factor = cholmod_analyze(a, &common);
  const double order = seconds_since(mark);
  mark = Clock::now();
  const int factorised = cholmod_factorize(a, factor, &common);
  const double factorise = seconds_since(mark);
  mark = Clock::now();
  cholmod_dense* x = cholmod_solve(CHOLMOD_A, factor, b, &common);
  const double solve = seconds_since(mark);
  const bool ok = factorised && x != nullptr && common.status == CHOLMOD_OK;
  std::printf(
      "{\"ok\": %s, \"order\": %.4f, \"factorise\": %.4f, \"solve\": %.4f, \"factor_entries\": "
      "%.0f, \"flops\": %.4g, \"threads\": %d}\n",
      ok ? "true" : "false", order, factorise, solve, common.lnz, common.fl,
      velm::linalg::available_cores());
  cholmod_free_dense(&x, &common);
  cholmod_free_dense(&b, &common);
  cholmod_free_factor(&factor, &common);
  cholmod_free_sparse(&a, &common);
  cholmod_finish(&common);
  return ok ? 0 : 1;
}
