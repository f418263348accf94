// The factorisation's failures as error values: a mechanism names the node and dof it frees,
// and a monitor that asks to stop is obeyed.
#include "system/factorisation.hpp"

#include <gtest/gtest.h>

#include "model_builder.hpp"
#include "system/assembly.hpp"
#include "system/discrete_model.hpp"

namespace velm::testing {
namespace {

class Stopping : public base::Monitor {
 public:
  bool stop_requested() override { return true; }
};

// A model over its unknowns, its stiffness assembled.
struct Assembled {
  frame::Structure structure;
  system::DiscreteModel model;
  explicit Assembled(const model::VELM& m)
      : structure(*frame::build_structure(m)), model(structure) {}

  base::Expected<system::Factorisation> factorise(base::Monitor& monitor) const {
    base::Monitor quiet;
    const std::vector<std::uint8_t> all_on(structure.members.size(), 1);
    return system::Factorisation::of(*system::assemble_stiffness(model, all_on, quiet), model.dofs,
                                     monitor);
  }
};

TEST(Factorisation, AMechanismIsUnstableAtTheDofItFrees) {
  // A beam along X held at both ends in translation only: it spins about its own axis.
  const model::VELM m =
      frame({member(1, node(1, 0, 0, 0, 1), node(2, 5, 0, 0, 1))}, {support(1, "xyz")}, {});
  base::Monitor quiet;
  const Assembled assembled(m);
  const auto factor = assembled.factorise(quiet);
  ASSERT_FALSE(factor.has_value());
  EXPECT_EQ(factor.error().code, base::ErrorCode::unstable);
  const std::string text = base::message(factor.error());
  EXPECT_TRUE(text == "The structure is unstable: node 1 is free to move in RX." ||
              text == "The structure is unstable: node 2 is free to move in RX.")
      << text;
}

TEST(Factorisation, StopsWhenAskedAndSolvesWhenNot) {
  const model::VELM m =
      frame({member(1, node(1, 0, 0, 0, 1), node(2, 5, 0, 0))}, {fixed_support(1)}, {});
  Stopping stopping;
  const Assembled assembled(m);
  const auto stopped = assembled.factorise(stopping);
  ASSERT_FALSE(stopped.has_value());
  EXPECT_EQ(stopped.error().code, base::ErrorCode::cancelled);
  EXPECT_EQ(base::message(stopped.error()), "The analysis was cancelled.");

  // A cantilever with an end force: tip deflection P L^3 / (3 E I_z) along local y = global Y.
  base::Monitor quiet;
  auto factor = assembled.factorise(quiet);
  ASSERT_TRUE(factor.has_value());
  std::vector<double> rhs(6, 0.0);
  rhs[1] = 1000.0;
  ASSERT_TRUE(factor->solve_in_place(rhs.data(), 1).has_value());
  const SectionData s;
  EXPECT_NEAR(rhs[1], 1000.0 * 125.0 / (3 * s.e * s.i_z), 1e-12);
}

}  // namespace
}  // namespace velm::testing
