#include "engineering/envelope.hpp"

#include <algorithm>

#include "base/internal_fault.hpp"

namespace velm::engineering {

ArrayEnvelope envelope_of(std::span<const std::span<const double>> sets, std::size_t length) {
  ArrayEnvelope out;
  out.minimum.assign(length, 0.0);
  out.maximum.assign(length, 0.0);
  out.governing_minimum.assign(length, 0);
  out.governing_maximum.assign(length, 0);
  if (sets.empty()) return out;
  for (const std::span<const double> set : sets)
    if (set.size() != length) throw InternalFault("envelope_of: result arrays of different sizes");
  std::copy(sets[0].begin(), sets[0].end(), out.minimum.begin());
  std::copy(sets[0].begin(), sets[0].end(), out.maximum.begin());
  // Strict comparisons keep the first set on a tie.
  for (std::size_t s = 1; s < sets.size(); ++s) {
    const std::span<const double> set = sets[s];
    const auto position = static_cast<std::int32_t>(s);
    for (std::size_t e = 0; e < length; ++e) {
      if (set[e] < out.minimum[e]) {
        out.minimum[e] = set[e];
        out.governing_minimum[e] = position;
      }
      if (set[e] > out.maximum[e]) {
        out.maximum[e] = set[e];
        out.governing_maximum[e] = position;
      }
    }
  }
  return out;
}

}  // namespace velm::engineering
