// The listed analysis (calculate_from_json_internal) on small documents: the console captured
// in memory, the CSV files and the results document in a folder of the harness's own.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "driver/driver.hpp"
#include "model/document.hpp"
#include "report/console.hpp"
#include "report/output.hpp"
#include "report/sink.hpp"
#include "small_model.hpp"

namespace {

// Global matrices of at most 6 x 24 = 144 unknowns: a run takes milliseconds.
constexpr std::uint64_t kMaxNodes = 24;

const std::filesystem::path& folder() {
  static const std::filesystem::path path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "velm-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return std::filesystem::path(pattern);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto model = velm::model::parse_model(text);
      model && velm::fuzz::largest_node_id(*model) > kMaxNodes)
    return 0;
  velm::report::StringSink out, err;
  velm::report::Console console(out, err);
  velm::report::Output output{console, folder()};
  const auto outcome = velm::driver::calculate_from_json_internal(text, output);
  if (outcome && *outcome != "Analysis succeeded! Results written to 'analysis_results.json'")
    std::abort();
  return 0;
}
