#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/ordered_map.hpp"
#include "json/schema.hpp"
#include "model/imperfections.hpp"
#include "model/member.hpp"
#include "model/vector3.hpp"

namespace velm::model {

// A point force on a node: magnitude times direction (the direction is not normalised).
struct NodalLoad {
  std::uint32_t id = 0;
  std::uint32_t node = 0;
  std::uint32_t load_case = 0;
  double magnitude = 0.0;
  Vector3 direction{};
  std::string load_type;
  bool operator==(const NodalLoad&) const = default;
};

struct LineLoad {
  Member member;
  std::uint32_t load_case = 0;
  double magnitude = 0.0;
  Vector3 direction{};
  double start_pos = 0.0;
  double end_pos = 0.0;
  bool operator==(const LineLoad&) const = default;
};

struct LoadCase {
  std::uint32_t id = 0;
  std::string name;
  std::vector<NodalLoad> nodal_loads;
  std::vector<LineLoad> line_loads;
  std::vector<RotationImperfection> rotation_imperfections;
  std::vector<TranslationImperfection> translation_imperfections;
  bool operator==(const LoadCase&) const = default;
};

// Factor of each load case, keyed by load case id.
using LoadCaseFactors = OrderedMap<std::uint32_t, double>;

struct LoadCombination {
  std::uint32_t load_combination_id = 0;
  std::string name;
  LoadCaseFactors load_cases_factors;
  std::optional<std::string> situation;
  std::string check;
  bool operator==(const LoadCombination&) const = default;
};

struct ImperfectionCase {
  std::uint32_t imperfection_case_id = 0;
  std::vector<LoadCombination> load_combinations;
  std::vector<RotationImperfection> rotation_imperfections;
  std::vector<TranslationImperfection> translation_imperfections;
  bool operator==(const ImperfectionCase&) const = default;
};

}  // namespace velm::model

template <>
struct velm::json::Schema<velm::model::NodalLoad> {
  using T = velm::model::NodalLoad;
  static constexpr std::string_view name = "NodalLoad";
  static constexpr auto fields = std::tuple{field("id", &T::id),
                                            field("node", &T::node),
                                            field("load_case", &T::load_case),
                                            field("magnitude", &T::magnitude),
                                            field("direction", &T::direction),
                                            field("load_type", &T::load_type)};
};

template <>
struct velm::json::Schema<velm::model::LineLoad> {
  using T = velm::model::LineLoad;
  static constexpr std::string_view name = "LineLoad";
  static constexpr auto fields =
      std::tuple{field("member", &T::member),       field("load_case", &T::load_case),
                 field("magnitude", &T::magnitude), field("direction", &T::direction),
                 field("start_pos", &T::start_pos), field("end_pos", &T::end_pos)};
};

template <>
struct velm::json::Schema<velm::model::LoadCase> {
  using T = velm::model::LoadCase;
  static constexpr std::string_view name = "LoadCase";
  static constexpr auto fields =
      std::tuple{field("id", &T::id),
                 field("name", &T::name),
                 field("nodal_loads", &T::nodal_loads),
                 field("line_loads", &T::line_loads),
                 field("rotation_imperfections", &T::rotation_imperfections),
                 field("translation_imperfections", &T::translation_imperfections)};
};

template <>
struct velm::json::Schema<velm::model::LoadCombination> {
  using T = velm::model::LoadCombination;
  static constexpr std::string_view name = "LoadCombination";
  static constexpr auto fields =
      std::tuple{field("load_combination_id", &T::load_combination_id), field("name", &T::name),
                 field("load_cases_factors", &T::load_cases_factors),
                 field("situation", &T::situation), field("check", &T::check)};
};

template <>
struct velm::json::Schema<velm::model::ImperfectionCase> {
  using T = velm::model::ImperfectionCase;
  static constexpr std::string_view name = "ImperfectionCase";
  static constexpr auto fields =
      std::tuple{field("imperfection_case_id", &T::imperfection_case_id),
                 field("load_combinations", &T::load_combinations),
                 field("rotation_imperfections", &T::rotation_imperfections),
                 field("translation_imperfections", &T::translation_imperfections)};
};
