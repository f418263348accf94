// The band and the dense storage of the global matrix give the same analysis.
#include <gtest/gtest.h>

#include <cmath>

#include "listing/global_matrix.hpp"
#include "listing/solve_harness.hpp"
#include "model_builder.hpp"
#include "report/console_reporter.hpp"

namespace velm::testing {
namespace {

// A building frame numbered floor by floor: (nx+1)(ny+1) nodes per floor, columns fixed at the
// base, beams in X and Y, gravity on every free node and wind at the roof.
model::VELM building(int nx, int ny, int storeys) {
  const int per_floor = (nx + 1) * (ny + 1);
  auto id = [&](int i, int j, int k) {
    return static_cast<std::uint32_t>(k * per_floor + j * (nx + 1) + i + 1);
  };
  auto at = [&](int i, int j, int k) {
    return node(id(i, j, k), 6.0 * i, 5.0 * j, 3.5 * k,
                k == 0 ? std::optional<std::uint32_t>(1) : std::nullopt);
  };
  std::vector<model::Member> members;
  std::vector<model::NodalLoad> loads;
  std::uint32_t next = 1;
  for (int k = 0; k < storeys; ++k)
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i) members.push_back(member(next++, at(i, j, k), at(i, j, k + 1)));
  for (int k = 1; k <= storeys; ++k) {
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i < nx; ++i) members.push_back(member(next++, at(i, j, k), at(i + 1, j, k)));
    for (int j = 0; j < ny; ++j)
      for (int i = 0; i <= nx; ++i) members.push_back(member(next++, at(i, j, k), at(i, j + 1, k)));
    for (int j = 0; j <= ny; ++j)
      for (int i = 0; i <= nx; ++i) {
        loads.push_back(
            load(static_cast<std::uint32_t>(loads.size() + 1), id(i, j, k), -20e3, {0, 0, 1}));
        if (k == storeys)
          loads.push_back(
              load(static_cast<std::uint32_t>(loads.size() + 1), id(i, j, k), 5e3, {1, 0.5, 0}));
      }
  }
  return frame(std::move(members), {fixed_support(1)}, std::move(loads));
}

struct Analysis {
  base::Expected<listing::Solution> solution;
  std::string printed;
};

Analysis analyse(const model::VELM& model, listing::Storage storage) {
  report::StringSink out, err;
  const TemporaryFolder folder;
  Analysis run;
  {
    report::Console console(out, err);
    report::ConsoleReporter reporter(report::Output{console, folder.path});
    run.solution = listing::solve_for_load_case(model, 1, reporter, storage);
  }
  run.printed = std::move(out.text);
  return run;
}

void expect_close(const linalg::Vector& a, const linalg::Vector& b) {
  ASSERT_EQ(a.size(), b.size());
  const double scale = std::max(a.cwiseAbs().maxCoeff(), 1e-300);
  EXPECT_LE((a - b).cwiseAbs().maxCoeff(), 1e-10 * scale);
}

std::string_view between(std::string_view text, std::string_view from, std::string_view to) {
  const auto a = text.find(from);
  const auto b = text.find(to, a);
  return text.substr(a, b - a);
}

TEST(StorageEquivalence, BuildingFrameGivesTheSameResults) {
  const model::VELM model = building(3, 2, 4);
  const Analysis band = analyse(model, listing::Storage::band);
  const Analysis dense = analyse(model, listing::Storage::dense);
  ASSERT_TRUE(band.solution) << band.solution.error().detail;
  ASSERT_TRUE(dense.solution) << dense.solution.error().detail;
  expect_close(band.solution->displacements, dense.solution->displacements);
  expect_close(band.solution->reactions, dense.solution->reactions);
  const auto& rb = band.solution->results.reaction_forces[0];
  const auto& rd = dense.solution->results.reaction_forces[0];
  EXPECT_NEAR(rb.fz, rd.fz, 1e-10 * std::abs(rd.fz));
  EXPECT_NEAR(rb.mx, rd.mx, 1e-10 * std::abs(rd.mx));
  // The global matrices are the same numbers, so they print the same bytes.
  EXPECT_EQ(between(band.printed, "Global Stiffness Matrix (", "Assembling load vector"),
            between(dense.printed, "Global Stiffness Matrix (", "Assembling load vector"));
  EXPECT_EQ(band.printed.substr(0, band.printed.find("Global Stiffness Matrix (")),
            dense.printed.substr(0, dense.printed.find("Global Stiffness Matrix (")));
}

TEST(StorageEquivalence, AutomaticChoiceFollowsTheBandwidth) {
  const model::VELM model = building(3, 2, 4);  // 60 nodes, half-bandwidth 6 * 12 + 5 = 77
  using listing::Storage;
  EXPECT_EQ(listing::chosen_storage(360, 77, Storage::automatic), Storage::band);
  EXPECT_EQ(listing::chosen_storage(360, 200, Storage::automatic), Storage::dense);
  EXPECT_EQ(listing::chosen_storage(360, 200, Storage::band), Storage::band);
  EXPECT_EQ(listing::chosen_storage(0, 0, Storage::band), Storage::dense);
  EXPECT_EQ(listing::half_bandwidth(model.member_sets), 77u);
}

TEST(StorageEquivalence, SameVerdictOnSingularModels) {
  SectionData nothing;
  nothing.area = nothing.i_y = nothing.i_z = nothing.j = 0.0;
  const std::vector<model::VELM> models = {
      // A zero row: a member without any stiffness.
      frame({member(1, node(1, 0, 0, 0, 1), node(2, 0, 0, 3))}, {fixed_support(1)},
            {load(1, 2, 1.0, {1, 0, 0})}, nothing),
      // No supports at all.
      frame({member(1, node(1, 0, 0, 0), node(2, 4, 0, 0)),
             member(2, node(2, 4, 0, 0), node(3, 4, 3, 0))},
            {}, {load(1, 3, 1.0, {0, 0, 1})}),
      // No members.
      frame({}, {}, {}),
  };
  for (const auto& model : models) {
    const Analysis band = analyse(model, listing::Storage::band);
    const Analysis dense = analyse(model, listing::Storage::dense);
    ASSERT_EQ(band.solution.has_value(), dense.solution.has_value());
    if (!band.solution) {
      EXPECT_EQ(band.solution.error().detail, dense.solution.error().detail);
    } else {
      EXPECT_EQ(band.solution->displacements.size(), dense.solution->displacements.size());
    }
  }
  EXPECT_EQ(analyse(models[0], listing::Storage::band).solution.error().detail,
            "Global stiffness matrix is singular or near-singular.");
  EXPECT_TRUE(analyse(models[2], listing::Storage::band).solution.has_value());
}

}  // namespace
}  // namespace velm::testing
