// The engineering analysis (analyze_json) on any bytes, with few stations per member. Every
// analysis that succeeds must hold the checks of result_checks.hpp; one that does not aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "driver/engineering.hpp"
#include "model/document.hpp"
#include "result_checks.hpp"
#include "small_model.hpp"

namespace {

constexpr std::uint64_t kMaxNodes = 200;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto model = velm::model::parse_model(text);
  if (model && velm::fuzz::largest_node_id(*model) > kMaxNodes) return 0;
  velm::engineering::AnalysisOptions options;
  options.stations = 3;
  velm::base::Monitor quiet;
  const auto analysis = velm::driver::analyze_json(text, options, quiet);
  if (!analysis) return 0;
  if (const auto fault = velm::fuzz::check_results(*model, *analysis)) {
    std::fprintf(stderr, "result check failed: %s\n", fault->c_str());
    std::abort();
  }
  return 0;
}
