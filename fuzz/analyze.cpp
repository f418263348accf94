// The engineering analysis (analyze_json) on any bytes, with few stations per member.
#include <cstdint>
#include <string_view>

#include "base/monitor.hpp"
#include "driver/engineering.hpp"
#include "model/document.hpp"
#include "small_model.hpp"

namespace {

constexpr std::uint64_t kMaxNodes = 200;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto model = velm::model::parse_model(text);
      model && velm::fuzz::largest_node_id(*model) > kMaxNodes)
    return 0;
  velm::engineering::AnalysisOptions options;
  options.stations = 3;
  velm::base::Monitor quiet;
  (void)velm::driver::analyze_json(text, options, quiet);
  return 0;
}
