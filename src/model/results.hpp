// The results of one analysed load case, as the results document holds them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "json/schema.hpp"

namespace velm::model {

// Displacements of one node in global axes.
struct NodeDisplacement {
  std::uint32_t node_id = 0;
  double dx = 0.0, dy = 0.0, dz = 0.0;
  double rx = 0.0, ry = 0.0, rz = 0.0;
  bool operator==(const NodeDisplacement&) const = default;
};

// Reactions of one support record, in global axes.
struct ReactionForce {
  std::uint32_t support_id = 0;
  double fx = 0.0, fy = 0.0, fz = 0.0;
  double mx = 0.0, my = 0.0, mz = 0.0;
  bool operator==(const ReactionForce&) const = default;
};

// End forces of a member in its local axes (fx axial, mx torsion).
struct NodeForces {
  double fx = 0.0, fy = 0.0, fz = 0.0;
  double mx = 0.0, my = 0.0, mz = 0.0;
  bool operator==(const NodeForces&) const = default;
};

struct MemberForce {
  std::uint32_t member_id = 0;
  NodeForces start_node_forces;
  NodeForces end_node_forces;
  bool operator==(const MemberForce&) const = default;
};

struct ResultsSummary {
  std::uint64_t total_displacements = 0;
  std::uint64_t total_reaction_forces = 0;
  std::uint64_t total_member_forces = 0;
  bool operator==(const ResultsSummary&) const = default;
};

struct Results {
  std::string name;
  std::string result_type;
  std::vector<NodeDisplacement> displacement_nodes;
  std::vector<ReactionForce> reaction_forces;
  std::vector<MemberForce> member_forces;
  ResultsSummary summary;
  bool operator==(const Results&) const = default;
};

}  // namespace velm::model

template <>
struct velm::json::Schema<velm::model::NodeDisplacement> {
  using T = velm::model::NodeDisplacement;
  static constexpr std::string_view name = "NodeDisplacement";
  static constexpr auto fields = std::tuple{
      field("node_id", &T::node_id), field("dx", &T::dx), field("dy", &T::dy), field("dz", &T::dz),
      field("rx", &T::rx),           field("ry", &T::ry), field("rz", &T::rz)};
};

template <>
struct velm::json::Schema<velm::model::ReactionForce> {
  using T = velm::model::ReactionForce;
  static constexpr std::string_view name = "ReactionForce";
  static constexpr auto fields = std::tuple{field("support_id", &T::support_id),
                                            field("fx", &T::fx),
                                            field("fy", &T::fy),
                                            field("fz", &T::fz),
                                            field("mx", &T::mx),
                                            field("my", &T::my),
                                            field("mz", &T::mz)};
};

template <>
struct velm::json::Schema<velm::model::NodeForces> {
  using T = velm::model::NodeForces;
  static constexpr std::string_view name = "NodeForces";
  static constexpr auto fields =
      std::tuple{field("fx", &T::fx), field("fy", &T::fy), field("fz", &T::fz),
                 field("mx", &T::mx), field("my", &T::my), field("mz", &T::mz)};
};

template <>
struct velm::json::Schema<velm::model::MemberForce> {
  using T = velm::model::MemberForce;
  static constexpr std::string_view name = "MemberForce";
  static constexpr auto fields = std::tuple{field("member_id", &T::member_id),
                                            field("start_node_forces", &T::start_node_forces),
                                            field("end_node_forces", &T::end_node_forces)};
};

template <>
struct velm::json::Schema<velm::model::ResultsSummary> {
  using T = velm::model::ResultsSummary;
  static constexpr std::string_view name = "ResultsSummary";
  static constexpr auto fields =
      std::tuple{field("total_displacements", &T::total_displacements),
                 field("total_reaction_forces", &T::total_reaction_forces),
                 field("total_member_forces", &T::total_member_forces)};
};

template <>
struct velm::json::Schema<velm::model::Results> {
  using T = velm::model::Results;
  static constexpr std::string_view name = "Results";
  static constexpr auto fields = std::tuple{field("name", &T::name),
                                            field("result_type", &T::result_type),
                                            field("displacement_nodes", &T::displacement_nodes),
                                            field("reaction_forces", &T::reaction_forces),
                                            field("member_forces", &T::member_forces),
                                            field("summary", &T::summary)};
};
