// Times the reading of one model file: the JSON text to the model records, repeated, with the
// file read once beforehand so only the reader is timed.
//
//     read_timer MODEL.json [repeats]
//
// Prints one JSON object: the size of the text, the best and the median time of one reading and
// the reading speed of the best one, and the best and median time of the second pass that the
// engineering analysis makes over the same text for the extensions to the document.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "driver/text_file.hpp"
#include "model/document.hpp"
#include "model/extensions.hpp"

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
  std::vector<double> times;
  std::size_t member_sets = 0;
  for (int i = 0; i < repeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const auto model = velm::model::parse_model(*text);
    times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!model) {
      std::fprintf(stderr, "%s\n", velm::base::message(model.error()).c_str());
      return 1;
    }
    member_sets = model->member_sets.size();
  }
  std::vector<double> extension_times;
  for (int i = 0; i < repeats; ++i) {
    velm::base::Monitor quiet;
    const auto start = std::chrono::steady_clock::now();
    const auto extensions = velm::model::parse_extensions(*text, quiet);
    extension_times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!extensions) {
      std::fprintf(stderr, "%s\n", velm::base::message(extensions.error()).c_str());
      return 1;
    }
  }
  std::ranges::sort(times);
  std::ranges::sort(extension_times);
  const double best = times.front(), median = times[times.size() / 2];
  std::printf(
      "{\"bytes\": %zu, \"member_sets\": %zu, \"repeats\": %d, \"best\": %.5f, \"median\": %.5f, "
      "\"mb_per_s\": %.1f, \"extensions_best\": %.5f, \"extensions_median\": %.5f}\n",
      text->size(), member_sets, repeats, best, median,
      static_cast<double>(text->size()) / best / 1e6, extension_times.front(),
      extension_times[extension_times.size() / 2]);
  return 0;
}
