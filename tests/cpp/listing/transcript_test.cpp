// The exact console text of a whole solve.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "model_builder.hpp"
#include "listing/solve_harness.hpp"

namespace velm::listing {
namespace {

using testing::frame;
using testing::load;
using testing::member;
using testing::node;
using testing::SolveRun;
using testing::support;

std::string read(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(Transcript, ModelWithoutMembers) {
  model::VELM m = frame({}, {}, {});
  m.load_cases[0].id = 4;
  SolveRun run;
  const Solution& s = run.solve(m, 4);
  EXPECT_EQ(s.displacements.size(), 0);
  EXPECT_EQ(s.reactions.size(), 0);
  EXPECT_EQ(run.out.text,
            "Validating node IDs...\n"
            "Assembling global stiffness matrix...\n"
            "Global Stiffness Matrix (0x0):\n\n"
            "Applying boundary conditions...\n"
            "Global Stiffness Matrix after Boundary Conditions (0x0):\n\n"
            "Assembling load vector for load case ID: 4\n"
            "Load Vector for Load Case 4 (0x1):\n\n"
            "Determinant of global stiffness matrix: 1\n"
            "Solving for displacements...\n"
            "Displacement Vector (0x1):\n\n"
            "Calculating reaction forces...\n"
            "Reaction Forces (0x1):\n\n"
            "Storing results...\n");
  EXPECT_EQ(run.results().summary, (model::ResultsSummary{0, 0, 0}));
}

// One member of simple properties along X, fixed at its start, loaded at its free end.
model::VELM tiny() {
  testing::SectionData unit;
  unit.e = 1.0;
  unit.g = 1.0;
  unit.area = 2.0;
  unit.i_y = 1.0;
  unit.i_z = 0.5;
  unit.j = 3.0;
  return frame({member(9, node(1, 0, 0, 0, 1), node(2, 1, 0, 0))}, {support(1, "xyzXYZ")},
               {load(1, 2, 10.0, {1, -0.5, 0})}, unit);
}

TEST(Transcript, OneMember) {
  model::VELM m = tiny();
  SolveRun run;
  run.solve(m);
  EXPECT_EQ(run.err.text, "");
  EXPECT_EQ(run.out.text, R"(Validating node IDs...
Assembling global stiffness matrix...
Local Stiffness Matrix for Member 9 (12x12):
      2.00       0.00       0.00       0.00       0.00       0.00      -2.00       0.00       0.00       0.00       0.00       0.00 
      0.00       6.00       0.00       0.00       0.00       3.00       0.00      -6.00       0.00       0.00       0.00       3.00 
      0.00       0.00      12.00       0.00      -6.00       0.00       0.00       0.00     -12.00       0.00      -6.00       0.00 
      0.00       0.00       0.00       3.00       0.00       0.00       0.00       0.00       0.00      -3.00       0.00       0.00 
      0.00       0.00      -6.00       0.00       4.00       0.00       0.00       0.00       6.00       0.00       2.00       0.00 
      0.00       3.00       0.00       0.00       0.00       2.00       0.00      -3.00       0.00       0.00       0.00       1.00 
     -2.00       0.00       0.00       0.00       0.00       0.00       2.00       0.00       0.00       0.00       0.00       0.00 
      0.00      -6.00       0.00       0.00       0.00      -3.00       0.00       6.00       0.00       0.00       0.00      -3.00 
      0.00       0.00     -12.00       0.00       6.00       0.00       0.00       0.00      12.00       0.00       6.00       0.00 
      0.00       0.00       0.00      -3.00       0.00       0.00       0.00       0.00       0.00       3.00       0.00       0.00 
      0.00       0.00      -6.00       0.00       2.00       0.00       0.00       0.00       6.00       0.00       4.00       0.00 
      0.00       3.00       0.00       0.00       0.00       1.00       0.00      -3.00       0.00       0.00       0.00       2.00 

Determinant of local stiffness matrix: 0
Transformation Matrix for Member 9 (12x12):
      1.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00 
      0.00       1.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00 
      0.00       0.00       1.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00 
      0.00       0.00       0.00       1.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00 
      0.00       0.00       0.00       0.00       1.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00 
      0.00       0.00       0.00       0.00       0.00       1.00       0.00       0.00       0.00       0.00       0.00       0.00 
      0.00       0.00       0.00       0.00       0.00       0.00       1.00       0.00       0.00       0.00       0.00       0.00 
      0.00       0.00       0.00       0.00       0.00       0.00       0.00       1.00       0.00       0.00       0.00       0.00 
      0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       1.00       0.00       0.00       0.00 
      0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       1.00       0.00       0.00 
      0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       1.00       0.00 
      0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       1.00 

Matrix saved to 'transformation_matrix_member_9.csv'
Transformation matrix saved to 'transformation_matrix_member_9.csv'
Transformed Stiffness Matrix for Member 9 (12x12):
      2.00       0.00       0.00       0.00       0.00       0.00      -2.00       0.00       0.00       0.00       0.00       0.00 
      0.00       6.00       0.00       0.00       0.00       3.00       0.00      -6.00       0.00       0.00       0.00       3.00 
      0.00       0.00      12.00       0.00      -6.00       0.00       0.00       0.00     -12.00       0.00      -6.00       0.00 
      0.00       0.00       0.00       3.00       0.00       0.00       0.00       0.00       0.00      -3.00       0.00       0.00 
      0.00       0.00      -6.00       0.00       4.00       0.00       0.00       0.00       6.00       0.00       2.00       0.00 
      0.00       3.00       0.00       0.00       0.00       2.00       0.00      -3.00       0.00       0.00       0.00       1.00 
     -2.00       0.00       0.00       0.00       0.00       0.00       2.00       0.00       0.00       0.00       0.00       0.00 
      0.00      -6.00       0.00       0.00       0.00      -3.00       0.00       6.00       0.00       0.00       0.00      -3.00 
      0.00       0.00     -12.00       0.00       6.00       0.00       0.00       0.00      12.00       0.00       6.00       0.00 
      0.00       0.00       0.00      -3.00       0.00       0.00       0.00       0.00       0.00       3.00       0.00       0.00 
      0.00       0.00      -6.00       0.00       2.00       0.00       0.00       0.00       6.00       0.00       4.00       0.00 
      0.00       3.00       0.00       0.00       0.00       1.00       0.00      -3.00       0.00       0.00       0.00       2.00 

Global Stiffness Matrix (12x12):
      2.00       0.00       0.00       0.00       0.00       0.00      -2.00       0.00       0.00       0.00       0.00       0.00 
      0.00       6.00       0.00       0.00       0.00       3.00       0.00      -6.00       0.00       0.00       0.00       3.00 
      0.00       0.00      12.00       0.00      -6.00       0.00       0.00       0.00     -12.00       0.00      -6.00       0.00 
      0.00       0.00       0.00       3.00       0.00       0.00       0.00       0.00       0.00      -3.00       0.00       0.00 
      0.00       0.00      -6.00       0.00       4.00       0.00       0.00       0.00       6.00       0.00       2.00       0.00 
      0.00       3.00       0.00       0.00       0.00       2.00       0.00      -3.00       0.00       0.00       0.00       1.00 
     -2.00       0.00       0.00       0.00       0.00       0.00       2.00       0.00       0.00       0.00       0.00       0.00 
      0.00      -6.00       0.00       0.00       0.00      -3.00       0.00       6.00       0.00       0.00       0.00      -3.00 
      0.00       0.00     -12.00       0.00       6.00       0.00       0.00       0.00      12.00       0.00       6.00       0.00 
      0.00       0.00       0.00      -3.00       0.00       0.00       0.00       0.00       0.00       3.00       0.00       0.00 
      0.00       0.00      -6.00       0.00       2.00       0.00       0.00       0.00       6.00       0.00       4.00       0.00 
      0.00       3.00       0.00       0.00       0.00       1.00       0.00      -3.00       0.00       0.00       0.00       2.00 

Applying boundary conditions...
Global Stiffness Matrix after Boundary Conditions (12x12):
100000000000000000000.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00 
      0.00 100000000000000000000.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00 
      0.00       0.00 100000000000000000000.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00 
      0.00       0.00       0.00 100000000000000000000.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00 
      0.00       0.00       0.00       0.00 100000000000000000000.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00 
      0.00       0.00       0.00       0.00       0.00 100000000000000000000.00       0.00       0.00       0.00       0.00       0.00       0.00 
      0.00       0.00       0.00       0.00       0.00       0.00       2.00       0.00       0.00       0.00       0.00       0.00 
      0.00       0.00       0.00       0.00       0.00       0.00       0.00       6.00       0.00       0.00       0.00      -3.00 
      0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00      12.00       0.00       6.00       0.00 
      0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       3.00       0.00       0.00 
      0.00       0.00       0.00       0.00       0.00       0.00       0.00       0.00       6.00       0.00       4.00       0.00 
      0.00       0.00       0.00       0.00       0.00       0.00       0.00      -3.00       0.00       0.00       0.00       2.00 

Assembling load vector for load case ID: 1
Load Vector for Load Case 1 (12x1):
      0.00 
      0.00 
      0.00 
      0.00 
      0.00 
      0.00 
     10.00 
     -5.00 
      0.00 
      0.00 
      0.00 
      0.00 

Determinant of global stiffness matrix: 216000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000
Solving for displacements...
Displacement Vector (12x1):
      0.00 
      0.00 
      0.00 
      0.00 
      0.00 
      0.00 
      5.00 
     -3.33 
      0.00 
      0.00 
      0.00 
     -5.00 

Calculating reaction forces...
Reaction Forces (12x1):
    -10.00 
      5.00 
      0.00 
      0.00 
      0.00 
      5.00 
     10.00 
     -5.00 
      0.00 
      0.00 
      0.00 
      0.00 

Storing results...
)");
  // The member runs along +X: T is the identity.
  std::string csv;
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 12; ++j)
      csv += std::string(i == j ? "1.000000" : "0.000000") + (j < 11 ? "," : "\n");
  EXPECT_EQ(read(run.directory / "transformation_matrix_member_9.csv"), csv);
}

}  // namespace
}  // namespace velm::listing
