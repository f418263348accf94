// Times the reading of one model file: the JSON text to the model records, repeated, with the
// file read once beforehand so only the reader is timed.
//
//     read_timer MODEL.json [repeats]
//
// Prints one JSON object: the size of the text, the best and the median time of one reading and
// the reading speed of the best one, and the best and median time of the second pass that the
// engineering analysis makes over the same text for the extensions to the document. The times
// are wall-clock; the best CPU time of the reading thread for each ("cpu_best",
// "extensions_cpu_best") follows, which other processes sharing the cores do not inflate; then
// the best wall and CPU time of the listing path's reading (a monitor, the skipped keys noted,
// the model's warnings formed: "listing_best", "listing_cpu_best"); last the engineering
// analysis's whole reading as it makes it (the model with its warnings, noting whether the text
// may hold extensions, then the extensions when it may): its best and median wall time, CPU
// best, and the speeds of the best and the median ("engineering_*").
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "driver/text_file.hpp"
#include "model/document.hpp"
#include "model/extensions.hpp"

namespace {

double thread_seconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: read_timer MODEL.json [repeats]\n");
    return 2;
  }
  const int repeats = argc > 2 ? std::max(1, std::stoi(argv[2])) : 20;
  const auto text = velm::driver::read_text_file(argv[1]);
  if (!text) {
    std::fprintf(stderr, "%s\n", velm::base::message(text.error()).c_str());
    return 1;
  }
  std::vector<double> times, cpu_times, extension_cpu_times;
  std::size_t member_sets = 0;
  for (int i = 0; i < repeats; ++i) {
    const double cpu_start = thread_seconds();
    const auto start = std::chrono::steady_clock::now();
    const auto model = velm::model::parse_model(*text);
    times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    cpu_times.push_back(thread_seconds() - cpu_start);
    if (!model) {
      std::fprintf(stderr, "%s\n", velm::base::message(model.error()).c_str());
      return 1;
    }
    member_sets = model->member_sets.size();
  }
  std::vector<double> extension_times;
  for (int i = 0; i < repeats; ++i) {
    velm::base::Monitor quiet;
    const double cpu_start = thread_seconds();
    const auto start = std::chrono::steady_clock::now();
    const auto extensions = velm::model::parse_extensions(*text, quiet);
    extension_times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    extension_cpu_times.push_back(thread_seconds() - cpu_start);
    if (!extensions) {
      std::fprintf(stderr, "%s\n", velm::base::message(extensions.error()).c_str());
      return 1;
    }
  }
  // The listing path's reading: with a monitor, noting the skipped keys, and the model's
  // warnings formed.
  std::vector<double> listing_times, listing_cpu_times;
  for (int i = 0; i < repeats; ++i) {
    velm::base::Monitor quiet;
    std::vector<std::string> warnings;
    const double cpu_start = thread_seconds();
    const auto start = std::chrono::steady_clock::now();
    const auto model = velm::model::parse_model(*text, quiet, warnings);
    listing_times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    listing_cpu_times.push_back(thread_seconds() - cpu_start);
    if (!model) {
      std::fprintf(stderr, "%s\n", velm::base::message(model.error()).c_str());
      return 1;
    }
  }
  std::vector<double> engineering_times, engineering_cpu_times;
  for (int i = 0; i < repeats; ++i) {
    velm::base::Monitor quiet;
    std::vector<std::string> warnings;
    bool may_hold_extensions = false;
    const double cpu_start = thread_seconds();
    const auto start = std::chrono::steady_clock::now();
    const auto model = velm::model::parse_model(*text, quiet, warnings, may_hold_extensions);
    const auto extensions = model ? velm::model::parse_extensions(*text, quiet, may_hold_extensions)
                                  : velm::base::Expected<velm::model::Extensions>{};
    engineering_times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    engineering_cpu_times.push_back(thread_seconds() - cpu_start);
    if (!model || !extensions) {
      std::fprintf(stderr, "%s\n",
                   velm::base::message(model ? extensions.error() : model.error()).c_str());
      return 1;
    }
  }
  std::ranges::sort(engineering_times);
  const double engineering_best = engineering_times.front(),
               engineering_median = engineering_times[engineering_times.size() / 2];
  const auto speed = [&](double seconds) {
    return static_cast<double>(text->size()) / seconds / 1e6;
  };
  std::ranges::sort(times);
  std::ranges::sort(extension_times);
  const double best = times.front(), median = times[times.size() / 2];
  std::printf(
      "{\"bytes\": %zu, \"member_sets\": %zu, \"repeats\": %d, \"best\": %.5f, \"median\": %.5f, "
      "\"mb_per_s\": %.1f, \"extensions_best\": %.5f, \"extensions_median\": %.5f, "
      "\"cpu_best\": %.5f, \"extensions_cpu_best\": %.5f, \"listing_best\": %.5f, "
      "\"listing_cpu_best\": %.5f, \"engineering_best\": %.5f, \"engineering_median\": %.5f, "
      "\"engineering_cpu_best\": %.5f, \"engineering_mb_per_s_best\": %.1f, "
      "\"engineering_mb_per_s_median\": %.1f}\n",
      text->size(), member_sets, repeats, best, median,
      static_cast<double>(text->size()) / best / 1e6, extension_times.front(),
      extension_times[extension_times.size() / 2], std::ranges::min(cpu_times),
      std::ranges::min(extension_cpu_times), std::ranges::min(listing_times),
      std::ranges::min(listing_cpu_times), engineering_best, engineering_median,
      std::ranges::min(engineering_cpu_times), speed(engineering_best), speed(engineering_median));
  return 0;
}
