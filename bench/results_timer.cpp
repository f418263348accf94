// Times the results stage of the engineering analysis of one model file: its wall time and the
// processor time of every thread of the process over it (user and system), which a machine
// shared with other work disturbs far less than the wall time.
//
//     results_timer MODEL.json [stations]
//
// Prints one JSON object: {"results": wall seconds, "results_cpu": processor seconds, "digest":
// a hash of the bits of every result array}, the digest to compare two builds' results.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/monitor.hpp"
#include "driver/engineering.hpp"
#include "linalg/blas_threads.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double processor_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The wall and processor time between the end of the solve and the end of the results.
class ResultsTimes final : public velm::base::Monitor {
 public:
  void stage_end(std::string_view stage) override {
    if (stage == "solve") {
      wall_start = Clock::now();
      cpu_start = processor_seconds();
    } else if (stage == "results") {
      wall = std::chrono::duration<double>(Clock::now() - wall_start).count();
      cpu = processor_seconds() - cpu_start;
    }
  }
  Clock::time_point wall_start;
  double cpu_start = 0.0, wall = 0.0, cpu = 0.0;
};

// FNV-1a over the bytes of the arrays.
struct Digest {
  std::uint64_t value = 14695981039346656037ull;
  template <class T>
  void add(const std::vector<T>& values) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(values.data());
    for (std::size_t i = 0; i < values.size() * sizeof(T); ++i) {
      value ^= bytes[i];
      value *= 1099511628211ull;
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: results_timer MODEL.json [stations]\n");
    return 2;
  }
  velm::linalg::use_single_threaded_blas();  // as the module does
  ResultsTimes times;
  velm::engineering::AnalysisOptions options;
  options.stations = argc > 2 ? std::stoi(argv[2]) : 11;
  const auto analysis = velm::driver::analyze_file(argv[1], options, times);
  if (!analysis) {
    std::fprintf(stderr, "%s\n", velm::base::message(analysis.error()).c_str());
    return 1;
  }
  Digest digest;
  for (const auto* sets : {&analysis->load_cases, &analysis->combinations})
    for (const velm::engineering::ResultSet& set : *sets) {
      digest.add(set.displacements);
      digest.add(set.reactions);
      digest.add(set.node_reactions);
      digest.add(set.end_forces);
      digest.add(set.internal_forces);
      digest.add(set.internal_force_extremes);
      digest.add(set.deflections);
      digest.add(set.deflection_extremes);
    }
  std::printf("{\"results\": %.4f, \"results_cpu\": %.4f, \"digest\": \"%016llx\"}\n", times.wall,
              times.cpu, static_cast<unsigned long long>(digest.value));
  return 0;
}
