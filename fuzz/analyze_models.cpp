// The engineering analysis of small frames drawn from the fuzzer's bytes (model_generator.hpp):
// well-formed models of every kind of member, hinge, support and load, so that the campaign
// explores the analysis rather than the reader. Every analysis that succeeds must hold the
// checks of result_checks.hpp; one that does not aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "engineering/static_analysis.hpp"
#include "model_generator.hpp"
#include "result_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  velm::fuzz::ByteSource in({data, size});
  const velm::model::VELM model = velm::fuzz::generate_model(in);
  velm::engineering::AnalysisOptions options;
  options.stations = 3;
  velm::base::Monitor quiet;
  const auto analysis = velm::engineering::analyse_statics(model, options, quiet);
  if (!analysis) return 0;
  if (const auto fault = velm::fuzz::check_results(model, *analysis)) {
    std::fprintf(stderr, "result check failed: %s\n", fault->c_str());
    std::abort();
  }
  return 0;
}
