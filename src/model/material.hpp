#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "json/schema.hpp"

namespace velm::model {

struct Material {
  std::uint32_t id = 0;
  std::string name;
  double e_mod = 0.0;
  double g_mod = 0.0;
  double density = 0.0;
  double yield_stress = 0.0;
  bool operator==(const Material&) const = default;
};

struct Section {
  std::uint32_t id = 0;
  std::string name;
  std::uint32_t material = 0;
  std::optional<double> h;
  std::optional<double> b;
  double i_y = 0.0;  // bending in the local x-z plane
  double i_z = 0.0;  // bending in the local x-y plane
  double j = 0.0;
  double area = 0.0;
  std::optional<std::uint32_t> shape_path;
  bool operator==(const Section&) const = default;
};

struct MemberHinge {
  std::uint32_t id = 0;
  std::string hinge_type;
  std::optional<double> translational_release_vx;
  std::optional<double> translational_release_vy;
  std::optional<double> translational_release_vz;
  std::optional<double> rotational_release_mx;
  std::optional<double> rotational_release_my;
  std::optional<double> rotational_release_mz;
  std::optional<double> max_tension_vx;
  std::optional<double> max_tension_vy;
  std::optional<double> max_tension_vz;
  std::optional<double> max_moment_mx;
  std::optional<double> max_moment_my;
  std::optional<double> max_moment_mz;
  bool operator==(const MemberHinge&) const = default;
};

}  // namespace velm::model

template <>
struct velm::json::Schema<velm::model::Material> {
  using T = velm::model::Material;
  static constexpr std::string_view name = "Material";
  static constexpr auto fields =
      std::tuple{field("id", &T::id),           field("name", &T::name),
                 field("e_mod", &T::e_mod),     field("g_mod", &T::g_mod),
                 field("density", &T::density), field("yield_stress", &T::yield_stress)};
};

template <>
struct velm::json::Schema<velm::model::Section> {
  using T = velm::model::Section;
  static constexpr std::string_view name = "Section";
  static constexpr auto fields = std::tuple{field("id", &T::id),
                                            field("name", &T::name),
                                            field("material", &T::material),
                                            field("h", &T::h),
                                            field("b", &T::b),
                                            field("i_y", &T::i_y),
                                            field("i_z", &T::i_z),
                                            field("j", &T::j),
                                            field("area", &T::area),
                                            field("shape_path", &T::shape_path)};
};

template <>
struct velm::json::Schema<velm::model::MemberHinge> {
  using T = velm::model::MemberHinge;
  static constexpr std::string_view name = "MemberHinge";
  static constexpr auto fields =
      std::tuple{field("id", &T::id),
                 field("hinge_type", &T::hinge_type),
                 field("translational_release_vx", &T::translational_release_vx),
                 field("translational_release_vy", &T::translational_release_vy),
                 field("translational_release_vz", &T::translational_release_vz),
                 field("rotational_release_mx", &T::rotational_release_mx),
                 field("rotational_release_my", &T::rotational_release_my),
                 field("rotational_release_mz", &T::rotational_release_mz),
                 field("max_tension_vx", &T::max_tension_vx),
                 field("max_tension_vy", &T::max_tension_vy),
                 field("max_tension_vz", &T::max_tension_vz),
                 field("max_moment_mx", &T::max_moment_mx),
                 field("max_moment_my", &T::max_moment_my),
                 field("max_moment_mz", &T::max_moment_mz)};
};
