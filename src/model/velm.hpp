#pragma once

#include <optional>
#include <vector>

#include "json/schema.hpp"
#include "model/loads.hpp"
#include "model/material.hpp"
#include "model/member.hpp"
#include "model/results.hpp"
#include "model/shape_path.hpp"
#include "model/support.hpp"

namespace velm::model {

// The whole model document and, after a solve, the results of its load case.
struct VELM {
  std::vector<MemberSet> member_sets;
  std::vector<LoadCase> load_cases;
  std::vector<LoadCombination> load_combinations;
  std::vector<ImperfectionCase> imperfection_cases;
  std::optional<Results> results;
  std::optional<std::vector<MemberHinge>> memberhinges;
  std::vector<Material> materials;
  std::vector<Section> sections;
  std::vector<NodalSupport> nodal_supports;
  std::optional<std::vector<ShapePath>> shape_paths;
  bool operator==(const VELM&) const = default;
};

}  // namespace velm::model

template <>
struct velm::json::Schema<velm::model::VELM> {
  using T = velm::model::VELM;
  static constexpr std::string_view name = "VELM";
  static constexpr auto fields = std::tuple{field("member_sets", &T::member_sets),
                                            field("load_cases", &T::load_cases),
                                            field("load_combinations", &T::load_combinations),
                                            field("imperfection_cases", &T::imperfection_cases),
                                            field("results", &T::results),
                                            field("memberhinges", &T::memberhinges),
                                            field("materials", &T::materials),
                                            field("sections", &T::sections),
                                            field("nodal_supports", &T::nodal_supports),
                                            field("shape_paths", &T::shape_paths)};
};
