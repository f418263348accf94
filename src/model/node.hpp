#pragma once

#include <cstdint>
#include <optional>

#include "json/schema.hpp"

namespace velm::model {

// A point of the frame in global coordinates; nodes live inside the members that use them.
struct Node {
  std::uint32_t id = 0;
  double X = 0.0;
  double Y = 0.0;
  double Z = 0.0;
  std::optional<std::uint32_t> nodal_support;
  bool operator==(const Node&) const = default;
};

}  // namespace velm::model

template <>
struct velm::json::Schema<velm::model::Node> {
  using T = velm::model::Node;
  static constexpr std::string_view name = "Node";
  static constexpr auto fields =
      std::tuple{field("id", &T::id), field("X", &T::X), field("Y", &T::Y), field("Z", &T::Z),
                 field("nodal_support", &T::nodal_support)};
};
