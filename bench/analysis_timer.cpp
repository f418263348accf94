// Times the engineering analysis of one model file stage by stage, and the floor beside it:
// the sparse solver alone ordering, factorising and solving the same assembled matrix.
//
//     analysis_timer MODEL.json [stations]
//
// Prints one JSON object: the stage times of the whole analysis (reading included), its peak
// resident memory, the floor's times and the solver's estimate of the factorisation's memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/monitor.hpp"
#include "driver/engineering.hpp"
#include "driver/text_file.hpp"
#include "frame/structure.hpp"
#include "linalg/blas_threads.hpp"
#include "linalg/sparse_ldlt.hpp"
#include "model/document.hpp"
#include "report/stage_clock.hpp"
#include "system/assembly.hpp"
#include "system/discrete_model.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double peak_megabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

class StageTimes final : public velm::base::Monitor {
 public:
  void stage_end(std::string_view stage) override { clock.mark(stage); }
  velm::report::StageClock clock;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: analysis_timer MODEL.json [stations]\n");
    return 2;
  }
  velm::linalg::use_single_threaded_blas();  // as the module does
  StageTimes times;
  velm::engineering::AnalysisOptions options;
  options.stations = argc > 2 ? std::stoi(argv[2]) : 11;
  const auto start = Clock::now();
  const auto analysis = velm::driver::analyze_file(argv[1], options, times);
  if (!analysis) {
    std::fprintf(stderr, "%s\n", velm::base::message(analysis.error()).c_str());
    return 1;
  }
  const double total = seconds_since(start);
  const double peak = peak_megabytes();

  // The floor: the same matrix, straight to the solver.
  const auto text = velm::driver::read_text_file(argv[1]);
  const auto model = velm::model::parse_model(*text);
  const auto structure = velm::frame::build_structure(*model);
  // The same unknowns and element matrices as the analysis (eliminated dofs as it finds them).
  const velm::system::DiscreteModel discrete(*structure);
  const auto& dofs = discrete.dofs;
  velm::base::Monitor quiet;
  auto stiffness = std::move(*velm::system::assemble_stiffness(
      discrete, std::vector<std::uint8_t>(structure->members.size(), 1), quiet));
  const std::size_t cases = model->load_cases.size();
  std::vector<double> rhs(static_cast<std::size_t>(dofs.count()) * cases, 1.0);
  velm::linalg::SparseSymmetricMatrix matrix = std::move(stiffness).release();
  const auto entries = matrix.entries();
  auto mark = Clock::now();
  velm::linalg::SparseLdlt solver(std::move(matrix));
  (void)solver.analyse();
  const double floor_order = seconds_since(mark);
  mark = Clock::now();
  (void)solver.factorise(1e-12);
  const double floor_factorise = seconds_since(mark);
  mark = Clock::now();
  (void)solver.solve(rhs.data(), static_cast<std::int32_t>(cases));
  const double floor_solve = seconds_since(mark);

  std::printf(
      "{\"nodes\": %u, \"unknowns\": %lld, \"entries\": %lld, \"total\": %.4f, "
      "\"peak_mb\": %.1f",
      analysis->node_count, static_cast<long long>(dofs.count()), static_cast<long long>(entries),
      total, peak);
  for (const auto& [name, time] : times.clock.stages())
    std::printf(", \"%s\": %.4f", name.c_str(), time);
  std::printf(
      ", \"floor_order\": %.4f, \"floor_factorise\": %.4f, \"floor_solve\": %.4f, "
      "\"factor_entries\": %llu, \"factor_estimate_mb\": %.1f}\n",
      floor_order, floor_factorise, floor_solve,
      static_cast<unsigned long long>(solver.estimated_factor_entries()),
      static_cast<double>(solver.estimated_bytes()) / 1e6);
  return 0;
}
