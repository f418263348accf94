// The look over the text that decides whether the extensions need a reading at all: it must find
// every extension key wherever it lies against the eight-byte words it scans, and find nothing
// in a text that only comes close.
#include <gtest/gtest.h>

#include <string>

#include "base/monitor.hpp"
#include "model/extensions.hpp"

namespace velm::model {
namespace {

// Whether parse_extensions read the text: only a reading sets load_cases, here one empty record.
bool was_read(const std::string& text) {
  base::Monitor quiet;
  const auto extensions = parse_extensions(text, quiet);
  EXPECT_TRUE(extensions.has_value()) << text;
  return extensions.has_value() && extensions->load_cases.has_value();
}

TEST(ExtensionScan, FindsEveryKeyAtEveryOffset) {
  for (const std::string key :
       {"point_loads", "point_moments", "nodal_moments", "end_magnitude", "axes", "self_weight",
        "support_displacements", "displacement_springs", "rotation_springs"}) {
    for (std::size_t pad = 0; pad < 16; ++pad) {
      const std::string head = "{\"load_cases\": [{}], \"x\": [" + std::string(pad, ' ');
      EXPECT_TRUE(was_read(head + "\"" + key + "\"]}")) << key << " after " << pad;
      // The same letters not closed by a quote there, or not opened by one, are no key.
      EXPECT_FALSE(was_read(head + "\"" + key + "s\"]}")) << key << " after " << pad;
      EXPECT_FALSE(was_read(head + "\"_" + key + "\"]}")) << key << " after " << pad;
    }
  }
  EXPECT_TRUE(was_read("{\"load_cases\": [{}], \"x\": \"\\n\"}"));  // an escape may spell one
  EXPECT_FALSE(was_read("{\"load_cases\": [{}]}"));
}

}  // namespace
}  // namespace velm::model
