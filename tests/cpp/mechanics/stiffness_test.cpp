#include "mechanics/stiffness.hpp"

#include <gtest/gtest.h>

#include "model_builder.hpp"

namespace velm::mechanics {
namespace {

using testing::member;
using testing::node;

struct Maps {
  model::Material material{1, "M", 200000.0, 80000.0, 0.0, 0.0};
  model::Section section{};
  model::MaterialMap materials;
  model::SectionMap sections;
  Maps() {
    section.id = 3;
    section.material = 1;
    section.area = 10.0;
    section.i_y = 5.0;
    section.i_z = 2.0;
    section.j = 7.0;
    materials[1] = &material;
    sections[3] = &section;
  }
};

TEST(LocalStiffness, TermsAndSignsOfBothBendingPlanes) {
  const Maps maps;
  const auto k = calculate_stiffness_matrix_3d(member(1, node(1, 0, 0, 0), node(2, 2, 0, 0), 3),
                                               maps.materials, maps.sections);
  ASSERT_TRUE(k.has_value());
  const double e = 200000.0, l = 2.0;
  EXPECT_EQ((*k)(0, 0), 1000000.0);
  EXPECT_EQ((*k)(6, 6), 1000000.0);
  EXPECT_EQ((*k)(0, 6), -1000000.0);
  EXPECT_EQ((*k)(3, 3), 80000.0 * 7.0 / l);
  EXPECT_EQ((*k)(1, 1), 12 * e * 2.0 / (l * l * l));  // UY with I_z
  EXPECT_EQ((*k)(2, 2), 12 * e * 5.0 / (l * l * l));  // UZ with I_y
  EXPECT_EQ((*k)(1, 5), 6 * e * 2.0 / (l * l));
  EXPECT_EQ((*k)(2, 4), -6 * e * 5.0 / (l * l));
  EXPECT_EQ((*k)(4, 4), 4 * e * 5.0 / l);
  EXPECT_EQ((*k)(5, 11), 2 * e * 2.0 / l);
  EXPECT_EQ((*k)(10, 8), 6 * e * 5.0 / (l * l));
  EXPECT_EQ(*k, k->transpose());
}

TEST(LocalStiffness, RigidBodyMotionsCarryNoForce) {
  const Maps maps;
  const auto k = calculate_stiffness_matrix_3d(member(1, node(1, 1, 1, 1), node(2, 4, 5, 1), 3),
                                               maps.materials, maps.sections);
  ASSERT_TRUE(k.has_value());
  const double l = 5.0, theta = 1e-3;
  for (int axis = 0; axis < 3; ++axis) {
    linalg::Vector12 u = linalg::Vector12::Zero();
    u(axis) = u(axis + 6) = 1.0;
    EXPECT_LT((*k * u).norm(), 1e-9 * k->norm()) << "translation " << axis;
  }
  // Rigid rotations about local z and local y: the end moves by L*theta sideways.
  linalg::Vector12 rz = linalg::Vector12::Zero();
  rz(5) = rz(11) = theta;
  rz(7) = l * theta;
  EXPECT_LT((*k * rz).norm(), 1e-9 * k->norm() * theta);
  linalg::Vector12 ry = linalg::Vector12::Zero();
  ry(4) = ry(10) = theta;
  ry(8) = -l * theta;
  EXPECT_LT((*k * ry).norm(), 1e-9 * k->norm() * theta);
}

TEST(LocalStiffness, MissingSectionOrMaterialGivesNoMatrix) {
  Maps maps;
  EXPECT_FALSE(calculate_stiffness_matrix_3d(member(1, node(1, 0, 0, 0), node(2, 1, 0, 0), 4),
                                             maps.materials, maps.sections));
  maps.section.material = 9;
  EXPECT_FALSE(calculate_stiffness_matrix_3d(member(1, node(1, 0, 0, 0), node(2, 1, 0, 0), 3),
                                             maps.materials, maps.sections));
}

TEST(LocalStiffness, MemberTypeDoesNotMatter) {
  const Maps maps;
  model::Member truss = member(1, node(1, 0, 0, 0), node(2, 1, 2, 0), 3);
  const auto normal = calculate_stiffness_matrix_3d(truss, maps.materials, maps.sections);
  truss.member_type = model::MemberType::Truss;
  EXPECT_EQ(calculate_stiffness_matrix_3d(truss, maps.materials, maps.sections), normal);
}

}  // namespace
}  // namespace velm::mechanics
