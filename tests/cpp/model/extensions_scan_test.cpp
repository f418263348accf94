// The look over the text that decides whether the extensions need a reading at all: it must find
// every extension key wherever it lies against the eight-byte words it scans, and find nothing
// in a text that only comes close.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/monitor.hpp"
#include "model/document.hpp"
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

// The reading of the model notes on its way whether the text may hold extensions, which spares
// the look above: for every document it accepts, the extensions read on its word must be what
// the look finds (the same records, or the same failure), wherever the strings that decide it
// stand: keys the model skips, keys of maps, string values, strings in skipped values, escapes,
// records in the positional form.
TEST(ExtensionScan, TheModelsReadingTellsTheSame) {
  const auto document = [](const std::string& load_cases, const std::string& supports,
                           const std::string& tail) {
    return R"({"member_sets":[],"load_cases":)" + load_cases +
           R"(,"load_combinations":[],"imperfection_cases":[],"materials":[],"sections":[],)"
           R"("nodal_supports":)" +
           supports + tail + "}";
  };
  const auto load_case = [](const std::string& name, const std::string& more) {
    return R"([{"id":1,"name":")" + name +
           R"(","nodal_loads":[],"line_loads":[],"rotation_imperfections":[],)"
           R"("translation_imperfections":[])" +
           more + "}]";
  };
  const auto support = [](const std::string& conditions) {
    return R"([{"id":1,"classification":null,"displacement_conditions":)" + conditions +
           R"(,"rotation_conditions":{}}])";
  };
  struct Case {
    std::string text;
    bool may_hold;
  };
  const std::vector<Case> cases = {
      {document("[]", "[]", ""), false},
      {document(load_case("Dead", ""), support(R"({"X":"Fixed"})"), ""), false},
      {document(load_case("axes", ""), "[]", ""), true},  // a string value
      {document(load_case("axe", ""), "[]", ""), false},
      {document(load_case("Dead", R"(,"point_loads":[])"), "[]", ""), true},  // skipped key
      {document(load_case("Dead", R"(,"self_weight":[0.0,0.0,-9.81])"), "[]", ""), true},
      {document(load_case("Dead", R"(,"self_weight":3)"), "[]", ""), true},    // fails to read
      {document("[]", support(R"({"rotation_springs":"Fixed"})"), ""), true},  // a map's key
      {document("[]", "[]", R"(,"x":[1,{"y":"end_magnitude"}])"), true},       // in a skipped value
      {document("[]", "[]", R"(,"x":[1,{"end_magnitudes":"_axes"}])"), false},
      {document("[]", "[]", R"(,"x":{"displacement_springs":{}})"), true},
      {document("[]", "[]", R"(,"x":"\n")"),
       true},  // any escape
      {document(load_case("D\xc3\xa9", ""), "[]", ""), false},
      {document(load_case("\\u0044", ""), "[]", ""), true},
      {document(R"([[1,"Dead",[],[],[],[]]])", "[]", ""), false},  // positional records
      {document(R"([[1,"axes",[],[],[],[]]])", "[]", ""), true},
      // The top-level keys out of order, an extension key last.
      {R"({"nodal_supports":[],"sections":[],"materials":[],"imperfection_cases":[],)"
       R"("load_combinations":[],"load_cases":[],"member_sets":[],"support_displacements":1})",
       true},
  };
  for (const Case& c : cases) {
    base::Monitor quiet;
    std::vector<std::string> warnings;
    bool may_hold = !c.may_hold;
    ASSERT_TRUE(parse_model(c.text, quiet, warnings, may_hold).has_value()) << c.text;
    EXPECT_EQ(may_hold, c.may_hold) << c.text;
    const auto looked = parse_extensions(c.text, quiet);
    const auto told = parse_extensions(c.text, quiet, may_hold);
    ASSERT_EQ(looked.has_value(), told.has_value()) << c.text;
    if (looked)
      EXPECT_EQ(*looked, *told) << c.text;
    else
      EXPECT_EQ(looked.error().detail, told.error().detail) << c.text;
  }
}

}  // namespace
}  // namespace velm::model
