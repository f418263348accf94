// Compares the fill-reducing orderings on one model file: for each, the time of the ordering
// and of the factorisation and the factor's entries.
//
//     ordering_timer MODEL.json
//
// Prints one JSON object per line, one per ordering.
#include <chrono>
#include <cstdio>
#include <utility>
#include <vector>

#include "base/monitor.hpp"
#include "driver/text_file.hpp"
#include "frame/structure.hpp"
#include "linalg/sparse_ldlt.hpp"
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
    std::fprintf(stderr, "usage: ordering_timer MODEL.json\n");
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
  const std::pair<const char*, velm::linalg::Ordering> orderings[] = {
      {"minimum_fill", velm::linalg::Ordering::minimum_fill},
      {"nested_dissection", velm::linalg::Ordering::nested_dissection}};
  for (const auto& [name, ordering] : orderings) {
    velm::linalg::SparseLdlt solver(matrix);
    auto mark = Clock::now();
    (void)solver.analyse(ordering);
    const double order = seconds_since(mark);
    mark = Clock::now();
    (void)solver.factorise(1e-12);
    const double factorise = seconds_since(mark);
    std::printf(
        "{\"ordering\": \"%s\", \"groups\": %zu, \"unknowns\": %d, \"order\": %.4f, "
        "\"factorise\": %.4f, \"factor_entries\": %llu, \"flops\": %.4g}\n",
        name, matrix.groups.size(), matrix.size, order, factorise,
        static_cast<unsigned long long>(solver.estimated_factor_entries()),
        solver.estimated_flops());
  }
  return 0;
}
