#pragma once

#include <vector>

#include "json/schema.hpp"
#include "model/member.hpp"
#include "model/vector3.hpp"

namespace velm::model {

struct RotationImperfection {
  std::vector<MemberSet> memberset;
  double magnitude = 0.0;
  Vector3 axis{};
  bool axis_only = false;
  Vector3 point{};
  bool operator==(const RotationImperfection&) const = default;
};

struct TranslationImperfection {
  std::vector<MemberSet> memberset;
  double magnitude = 0.0;
  Vector3 axis{};
  bool operator==(const TranslationImperfection&) const = default;
};

}  // namespace velm::model

template <>
struct velm::json::Schema<velm::model::RotationImperfection> {
  using T = velm::model::RotationImperfection;
  static constexpr std::string_view name = "RotationImperfection";
  static constexpr auto fields = std::tuple{
      field("memberset", &T::memberset), field("magnitude", &T::magnitude), field("axis", &T::axis),
      field("axis_only", &T::axis_only), field("point", &T::point)};
};

template <>
struct velm::json::Schema<velm::model::TranslationImperfection> {
  using T = velm::model::TranslationImperfection;
  static constexpr std::string_view name = "TranslationImperfection";
  static constexpr auto fields =
      std::tuple{field("memberset", &T::memberset), field("magnitude", &T::magnitude),
                 field("axis", &T::axis)};
};
