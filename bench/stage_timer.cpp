// Runs one analysis of a model file through the driver, as the module does, with standard
// output going to /dev/null (or a pipe), and reports the time of each stage as one JSON line on
// standard error.
//
//   stage_timer <model.json> [auto|band|dense]
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "driver/driver.hpp"
#include "linalg/blas_threads.hpp"

namespace {

// Counts what passes to the real sink.
class CountingSink final : public velm::report::Sink {
 public:
  explicit CountingSink(velm::report::Sink& inner) : inner_(inner) {}
  void write(std::string_view bytes) override {
    count += bytes.size();
    inner_.write(bytes);
  }
  std::size_t count = 0;

 private:
  velm::report::Sink& inner_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: stage_timer <model.json> [auto|band|dense]\n");
    return 2;
  }
  // As the module does: one BLAS thread.
  velm::linalg::use_single_threaded_blas();
  const std::string_view mode = argc > 2 ? argv[2] : "auto";
  const auto storage = mode == "band"    ? velm::listing::Storage::band
                       : mode == "dense" ? velm::listing::Storage::dense
                                         : velm::listing::Storage::automatic;
  velm::report::FdSink stdout_sink(1), stderr_sink(2);
  CountingSink counted(stdout_sink);
  velm::report::StageClock clock;
  const auto start = std::chrono::steady_clock::now();
  velm::base::Expected<std::string> outcome;
  {
    velm::report::Console console(counted, stderr_sink);
    velm::report::Output output{console, {}, &clock};
    outcome = velm::driver::calculate_from_file_internal(argv[1], output, storage);
  }
  const double total =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::string stages;
  for (const auto& [name, seconds] : clock.stages())
    stages += fmt::format("{}\"{}\": {:.6f}", stages.empty() ? "" : ", ", name, seconds);
  std::fprintf(
      stderr, "%s\n",
      fmt::format("{{\"ok\": {}, \"total\": {:.6f}, \"bytes\": {}, \"peak_rss_mb\": {:.1f}, "
                  "\"stages\": {{{}}}}}",
                  outcome.has_value() ? "true" : "false", total, counted.count,
                  static_cast<double>(usage.ru_maxrss) / 1024.0, stages)
          .c_str());
  if (!outcome) std::fprintf(stderr, "%s\n", velm::base::message(outcome.error()).c_str());
  return outcome ? 0 : 1;
}
