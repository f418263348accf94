// The envelope of result sets: the elementwise minimum and maximum of one result array over
// several result sets, and which set gives each.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace velm::engineering {

struct ArrayEnvelope {
  std::vector<double> minimum;  // min over s of sets[s][e]
  std::vector<double> maximum;  // max over s of sets[s][e]
  // The position in `sets` of the set that gives minimum[e] (maximum[e]): the first such set on a
  // tie, so equal sets keep the earlier one.
  std::vector<std::int32_t> governing_minimum;
  std::vector<std::int32_t> governing_maximum;
};

// The envelope of `sets`, each the same array of one result set, all of `length` entries. With
// no sets, every array holds `length` zeros.
ArrayEnvelope envelope_of(std::span<const std::span<const double>> sets, std::size_t length);

}  // namespace velm::engineering
