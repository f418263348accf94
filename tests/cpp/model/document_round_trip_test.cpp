// A document that uses every record reads, writes and reads back to an equal model.
#include <gtest/gtest.h>

#include "model/document.hpp"

namespace velm::model {
namespace {

constexpr std::string_view kEveryRecord = R"({
  "unknown_top_level": {"ignored": [1, 2, 3]},
  "member_sets": [{"id": 1, "l_y": 3.5, "l_z": null, "classification": "columns", "members": [
    {"id": 1, "start_node": {"id": 1, "X": 0, "Y": 0, "Z": 0, "nodal_support": 1},
     "end_node": {"id": 2, "X": 0, "Y": 0, "Z": 3.5}, "section": 1, "rotation_angle": 0.5,
     "start_hinge": 1, "end_hinge": null, "classification": "col \u00e9", "weight": 12.5,
     "chi": 0.9, "reference_member": 2, "reference_node": 3, "member_type": {"Compression": null}}
  ]}],
  "load_cases": [{"id": 7, "name": "Dead", "nodal_loads": [
      {"id": 1, "node": 2, "load_case": 7, "magnitude": -10.25, "direction": [0, 0, 1], "load_type": "point"}],
    "line_loads": [{"member": {"id": 1, "start_node": {"id": 1, "X": 0, "Y": 0, "Z": 0},
       "end_node": {"id": 2, "X": 0, "Y": 0, "Z": 3.5}, "section": 1, "rotation_angle": 0,
       "classification": "c", "weight": 0, "member_type": "Normal"},
       "load_case": 7, "magnitude": 2, "direction": [1, 0, 0], "start_pos": 0, "end_pos": 1}],
    "rotation_imperfections": [{"memberset": [], "magnitude": 0.005, "axis": [0, 0, 1],
       "axis_only": true, "point": [1e-7, 1e20, -0.0]}],
    "translation_imperfections": [{"memberset": [{"id": 9, "members": []}], "magnitude": 1,
       "axis": [1, 0, 0]}]}],
  "load_combinations": [{"load_combination_id": 1, "name": "ULS",
    "load_cases_factors": {"7": 1.35, "2": 1.5, "7": 1.0}, "situation": null, "check": "ULS"}],
  "imperfection_cases": [{"imperfection_case_id": 1, "load_combinations": [
    {"load_combination_id": 2, "name": "SLS", "load_cases_factors": {}, "situation": "P", "check": "SLS"}],
    "rotation_imperfections": [], "translation_imperfections": []}],
  "results": {"name": "Load Case 7", "result_type": "Load Case 7",
    "displacement_nodes": [[3, 0, 0, 0, 0, 0, 0]],
    "reaction_forces": [{"support_id": 1, "fx": 1, "fy": 2, "fz": 3, "mx": 4, "my": 5, "mz": 6}],
    "member_forces": [{"member_id": 1, "start_node_forces": [1, 2, 3, 4, 5, 6],
      "end_node_forces": {"fx": 0, "fy": 0, "fz": 0, "mx": 0, "my": 0, "mz": 0}}],
    "summary": {"total_displacements": 18446744073709551615, "total_reaction_forces": 1,
      "total_member_forces": 1}},
  "memberhinges": [{"id": 1, "hinge_type": "pin", "rotational_release_my": 0}],
  "materials": [{"id": 1, "name": "S355", "e_mod": 210000000000, "g_mod": 81000000000,
    "density": 7850, "yield_stress": 355000000}],
  "sections": [{"id": 1, "name": "HEB200", "material": 1, "h": 0.2, "b": 0.2, "i_y": 5.696e-5,
    "i_z": 2.003e-5, "j": 5.93e-7, "area": 0.00781, "shape_path": 1}],
  "nodal_supports": [{"id": 1, "classification": "fixed",
    "displacement_conditions": {"X": "Fixed", "Y": "Fixed", "Z": "Fixed"},
    "rotation_conditions": {"X": "Fixed", "y": "Fixed", "": "x"}}],
  "shape_paths": [{"id": 1, "name": "outline", "shape_commands": [
    {"command": "moveTo", "y": -0.1, "z": 0.1}, {"command": "close"}]}]
})";

TEST(DocumentRoundTrip, EveryRecordSurvivesReadWriteRead) {
  auto first = parse_model(kEveryRecord);
  ASSERT_TRUE(first) << first.error().detail;
  const std::string written = write_model(*first);
  auto second = parse_model(written);
  ASSERT_TRUE(second) << second.error().detail << "\n" << written;
  EXPECT_EQ(*first, *second);
  EXPECT_EQ(write_model(*second), written);
}

TEST(DocumentRoundTrip, ValuesAsRead) {
  auto model = parse_model(kEveryRecord);
  ASSERT_TRUE(model) << model.error().detail;
  const auto& m = model->member_sets[0].members[0];
  EXPECT_EQ(m.member_type, MemberType::Compression);
  EXPECT_EQ(m.classification, "col \xC3\xA9");
  EXPECT_FALSE(m.start_node.nodal_support == std::nullopt);
  EXPECT_FALSE(m.end_node.nodal_support.has_value());
  const auto& factors = model->load_combinations[0].load_cases_factors;
  ASSERT_EQ(factors.size(), 2u);
  EXPECT_EQ(factors.begin()->first, 7u);  // first position, last value
  EXPECT_EQ(factors.begin()->second, 1.0);
  EXPECT_EQ(model->results->displacement_nodes[0].node_id, 3u);
  EXPECT_EQ(model->results->summary.total_displacements, 18446744073709551615u);
  const std::string written = write_model(*model);
  EXPECT_NE(written.find("\"member_type\": \"Compression\""), std::string::npos);
  EXPECT_NE(written.find("\"load_cases_factors\": {\n        \"7\": 1.0,\n        \"2\": 1.5\n"),
            std::string::npos)
      << written;
  EXPECT_NE(written.find("\"point\": [\n            1e-7,\n            1e20,\n            -0.0\n"),
            std::string::npos);
  EXPECT_EQ(written.find("unknown_top_level"), std::string::npos);
}

TEST(DocumentRoundTrip, ResultsRecordsNeedEveryField) {
  std::string doc(kEveryRecord);
  doc.replace(doc.find(R"("summary")"), 9, R"("summery")");
  auto model = parse_model(doc);
  ASSERT_FALSE(model);
  EXPECT_EQ(model.error().detail.substr(0, 23), "missing field `summary`");
  std::string short_forces(kEveryRecord);
  short_forces.replace(short_forces.find("[1, 2, 3, 4, 5, 6]"), 18, "[1, 2, 3, 4, 5]");
  EXPECT_EQ(parse_model(short_forces).error().detail.substr(0, 55),
            "invalid length 5, expected struct NodeForces with 6 ele");
}

}  // namespace
}  // namespace velm::model
