// The result checks the fuzz harness applies to every successful analysis: they hold for sound
// models (line loads, hinges, tension-only bracing, rigid links, combinations) and catch a
// result that was tampered with.
#include "fuzz/result_checks.hpp"

#include "fuzz/model_generator.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "engineering/static_harness.hpp"
#include "model/document.hpp"
#include "model_builder.hpp"

namespace velm::testing {
namespace {

// A portal with a line load on its beam, a hinge, a rigid bracket, a tension-only brace, two
// cases and a combination.
model::VELM portal() {
  const auto a = node(1, 0, 0, 0, 1), b = node(2, 0, 0, 3), c = node(3, 5, 0, 3),
             d = node(4, 5, 0, 0, 1), e = node(5, 5, 1, 3);
  model::Member beam = member(2, b, c);
  model::Member brace = member(4, a, c);
  brace.member_type = model::MemberType::Tension;
  model::Member bracket = member(5, c, e);
  bracket.member_type = model::MemberType::Rigid;
  beam.end_hinge = 1;
  model::VELM m = frame({member(1, a, b), beam, member(3, d, c), brace, bracket},
                        {fixed_support(1)}, {load(1, 2, 10e3, {1, 0, 0})});
  model::MemberHinge hinge;
  hinge.id = 1;
  hinge.rotational_release_my = 0.0;
  m.memberhinges = std::vector<model::MemberHinge>{hinge};
  model::LineLoad line;
  line.member = beam;
  line.load_case = 1;
  line.magnitude = 4e3;
  line.direction = {0, 0, -1};
  line.start_pos = 1.0;
  line.end_pos = 4.0;
  m.load_cases[0].line_loads.push_back(line);
  model::LoadCase wind = m.load_cases[0];
  wind.id = 2;
  wind.name = "Wind";
  wind.line_loads.clear();
  wind.nodal_loads = {load(2, 5, -7e3, {1, 0.5, 0})};
  wind.nodal_loads[0].load_case = 2;
  m.load_cases.push_back(wind);
  model::LoadCombination both;
  both.load_combination_id = 9;
  both.name = "ULS";
  both.load_cases_factors.insert_or_assign(1, 1.35);
  both.load_cases_factors.insert_or_assign(2, 1.5);
  m.load_combinations.push_back(both);
  return m;
}

TEST(ResultChecks, HoldForSoundModels) {
  const model::VELM m = portal();
  const engineering::StaticAnalysis a = analyse(m);
  EXPECT_EQ(fuzz::check_results(m, a), std::nullopt);
}

TEST(ResultChecks, CatchATamperedResult) {
  const model::VELM m = portal();
  const engineering::StaticAnalysis a = analyse(m);
  {
    engineering::StaticAnalysis changed = a;
    changed.load_cases[0].end_forces[12 * 2] *= 1.01;  // the right column's axial force
    EXPECT_NE(fuzz::check_results(m, changed), std::nullopt);
  }
  {
    engineering::StaticAnalysis changed = a;
    changed.combinations[0].reactions[0] += 100.0;
    EXPECT_NE(fuzz::check_results(m, changed), std::nullopt);
  }
  {
    engineering::StaticAnalysis changed = a;
    changed.load_cases[1].displacements[2] = 1e-12;  // node 1 is fixed
    EXPECT_NE(fuzz::check_results(m, changed), std::nullopt);
  }
  {
    model::VELM heavier = m;  // a line load the results do not carry
    heavier.load_cases[0].line_loads[0].magnitude *= 1.01;
    EXPECT_NE(fuzz::check_results(heavier, a), std::nullopt);
  }
}

// Random frames (the fuzz harness's generator on a fixed stream of bytes): whatever the
// analysis accepts holds.
TEST(ResultChecks, HoldForRandomFrames) {
  std::mt19937 random(20261209);
  int analysed = 0;
  const int count =
      std::getenv("VELM_RANDOM_FRAMES") ? std::atoi(std::getenv("VELM_RANDOM_FRAMES")) : 400;
  for (int k = 0; k < count; ++k) {
    std::vector<std::uint8_t> bytes(256);
    for (std::uint8_t& b : bytes) b = static_cast<std::uint8_t>(random() & 0xff);
    fuzz::ByteSource in(bytes);
    const model::VELM m = fuzz::generate_model(in);
    engineering::AnalysisOptions options;
    options.stations = 3;
    base::Monitor quiet;
    const auto a = engineering::analyse_statics(m, options, quiet);
    if (!a) continue;
    ++analysed;
    const auto fault = fuzz::check_results(m, *a);
    EXPECT_EQ(fault, std::nullopt) << "frame " << k;
    // The same frame in second order: its result sets balance at the nodes, or fail alone.
    options.second_order = true;
    const auto second = engineering::analyse_statics(m, options, quiet);
    ASSERT_TRUE(second.has_value()) << "frame " << k << ": " << base::message(second.error());
    EXPECT_EQ(fuzz::check_results(m, *second), std::nullopt) << "frame " << k << ", second order";
    if (fault && std::getenv("VELM_DUMP_FRAMES"))
      std::ofstream(std::string(std::getenv("VELM_DUMP_FRAMES")) + "/frame" + std::to_string(k) +
                    ".json")
          << model::write_model(m);
  }
  EXPECT_GT(analysed, count / 50);  // the generator must not only make refused models
}

// A finding of the frame-drawing fuzz harness (VELM_FUZZ_FINDING names its file): its model is
// written beside it as JSON, and its results must hold.
TEST(ResultChecks, HoldForAFinding) {
  const char* path = std::getenv("VELM_FUZZ_FINDING");
  if (path == nullptr) GTEST_SKIP() << "VELM_FUZZ_FINDING names no file";
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  fuzz::ByteSource source(bytes);
  const model::VELM m = fuzz::generate_model(source);
  std::ofstream(std::string(path) + ".json") << model::write_model(m);
  engineering::AnalysisOptions options;
  options.stations = 3;
  base::Monitor quiet;
  const auto a = engineering::analyse_statics(m, options, quiet);
  if (!a) GTEST_SKIP() << base::message(a.error());
  EXPECT_EQ(fuzz::check_results(m, *a), std::nullopt);
}

// Every document of a folder (VELM_CHECK_CORPUS) that analyses: no false alarms.
TEST(ResultChecks, HoldOverACorpus) {
  const char* folder = std::getenv("VELM_CHECK_CORPUS");
  if (folder == nullptr) GTEST_SKIP() << "VELM_CHECK_CORPUS names no folder";
  int analysed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const auto m = model::parse_model(text.str());
    if (!m) continue;
    engineering::AnalysisOptions options;
    options.stations = 3;
    base::Monitor quiet;
    const auto a = engineering::analyse_statics(*m, options, quiet);
    if (!a) continue;
    ++analysed;
    EXPECT_EQ(fuzz::check_results(*m, *a), std::nullopt) << entry.path();
  }
  std::printf("%d documents analysed\n", analysed);
}

}  // namespace
}  // namespace velm::testing
