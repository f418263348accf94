#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "json/schema.hpp"

namespace velm::model {

// One drawing step of a section outline, in the section's y-z plane.
struct ShapeCommand {
  std::string command;
  std::optional<double> y;
  std::optional<double> z;
  std::optional<double> r;
  std::optional<double> control_y1;
  std::optional<double> control_z1;
  std::optional<double> control_y2;
  std::optional<double> control_z2;
  bool operator==(const ShapeCommand&) const = default;
};

struct ShapePath {
  std::uint32_t id = 0;
  std::string name;
  std::vector<ShapeCommand> shape_commands;
  bool operator==(const ShapePath&) const = default;
};

}  // namespace velm::model

template <>
struct velm::json::Schema<velm::model::ShapeCommand> {
  using T = velm::model::ShapeCommand;
  static constexpr std::string_view name = "ShapeCommand";
  static constexpr auto fields = std::tuple{field("command", &T::command),
                                            field("y", &T::y),
                                            field("z", &T::z),
                                            field("r", &T::r),
                                            field("control_y1", &T::control_y1),
                                            field("control_z1", &T::control_z1),
                                            field("control_y2", &T::control_y2),
                                            field("control_z2", &T::control_z2)};
};

template <>
struct velm::json::Schema<velm::model::ShapePath> {
  using T = velm::model::ShapePath;
  static constexpr std::string_view name = "ShapePath";
  static constexpr auto fields = std::tuple{field("id", &T::id), field("name", &T::name),
                                            field("shape_commands", &T::shape_commands)};
};
