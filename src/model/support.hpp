#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/ordered_map.hpp"
#include "json/schema.hpp"

namespace velm::model {

// Condition of each global axis ("X", "Y", "Z"); only the value "Fixed" fixes a freedom.
using ConditionMap = OrderedMap<std::string, std::string>;

struct NodalSupport {
  std::uint32_t id = 0;
  std::optional<std::string> classification;
  ConditionMap displacement_conditions;
  ConditionMap rotation_conditions;
  bool operator==(const NodalSupport&) const = default;
};

}  // namespace velm::model

template <>
struct velm::json::Schema<velm::model::NodalSupport> {
  using T = velm::model::NodalSupport;
  static constexpr std::string_view name = "NodalSupport";
  static constexpr auto fields =
      std::tuple{field("id", &T::id), field("classification", &T::classification),
                 field("displacement_conditions", &T::displacement_conditions),
                 field("rotation_conditions", &T::rotation_conditions)};
};
