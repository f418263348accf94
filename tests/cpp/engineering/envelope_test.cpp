// The envelope of result arrays: elementwise extremes over the sets, the first governing set on a
// tie, zeros without sets.
#include "engineering/envelope.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

namespace velm::engineering {
namespace {

using Ints = std::vector<std::int32_t>;

TEST(Envelope, TakesTheExtremesAndTheFirstGoverningSetOfEachEntry) {
  const std::vector<double> a = {1.0, -2.0, 3.0, 0.0};
  const std::vector<double> b = {4.0, -5.0, 3.0, 0.0};
  const std::vector<double> c = {-1.0, 6.0, 3.0, 0.0};
  const std::vector<std::span<const double>> sets = {a, b, c};
  const ArrayEnvelope e = envelope_of(sets, 4);
  EXPECT_EQ(e.minimum, (std::vector<double>{-1.0, -5.0, 3.0, 0.0}));
  EXPECT_EQ(e.maximum, (std::vector<double>{4.0, 6.0, 3.0, 0.0}));
  EXPECT_EQ(e.governing_minimum, (Ints{2, 1, 0, 0}));
  EXPECT_EQ(e.governing_maximum, (Ints{1, 2, 0, 0}));
}

TEST(Envelope, ATieKeepsTheEarlierSetEvenWhenALaterOneRepeatsTheExtreme) {
  const std::vector<double> a = {1.0, 5.0};
  const std::vector<double> b = {-3.0, 7.0};
  const std::vector<double> c = {-3.0, 7.0};
  const std::vector<std::span<const double>> sets = {a, b, c};
  const ArrayEnvelope e = envelope_of(sets, 2);
  EXPECT_EQ(e.governing_minimum, (Ints{1, 0}));
  EXPECT_EQ(e.governing_maximum, (Ints{0, 1}));
}

TEST(Envelope, OneSetIsItsOwnEnvelopeAndNoSetGivesZeros) {
  const std::vector<double> a = {-0.0, 2.5, -std::numeric_limits<double>::max()};
  const std::vector<std::span<const double>> one = {a};
  const ArrayEnvelope e = envelope_of(one, 3);
  EXPECT_EQ(e.minimum, a);
  EXPECT_EQ(e.maximum, a);
  EXPECT_EQ(e.governing_minimum, (Ints{0, 0, 0}));
  const ArrayEnvelope none = envelope_of({}, 2);
  EXPECT_EQ(none.minimum, (std::vector<double>{0.0, 0.0}));
  EXPECT_EQ(none.maximum, (std::vector<double>{0.0, 0.0}));
  EXPECT_EQ(none.governing_maximum, (Ints{0, 0}));
}

}  // namespace
}  // namespace velm::engineering
