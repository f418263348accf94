#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "json/schema.hpp"
#include "model/node.hpp"

namespace velm::model {

enum class MemberType { Normal, Truss, Tension, Compression, Rigid };

// A straight member between two nodes, each carried in full.
struct Member {
  std::uint32_t id = 0;
  Node start_node;
  Node end_node;
  std::uint32_t section = 0;
  double rotation_angle = 0.0;
  std::optional<std::uint32_t> start_hinge;
  std::optional<std::uint32_t> end_hinge;
  std::string classification;
  double weight = 0.0;
  std::optional<double> chi;
  std::optional<std::uint32_t> reference_member;
  std::optional<std::uint32_t> reference_node;
  MemberType member_type = MemberType::Normal;
  bool operator==(const Member&) const = default;
};

struct MemberSet {
  std::uint32_t id = 0;
  std::optional<double> l_y;
  std::optional<double> l_z;
  std::optional<std::string> classification;
  std::vector<Member> members;
  bool operator==(const MemberSet&) const = default;
};

}  // namespace velm::model

template <>
struct velm::json::EnumSchema<velm::model::MemberType> {
  static constexpr std::string_view name = "MemberType";
  static constexpr std::array<std::string_view, 5> variants = {"Normal", "Truss", "Tension",
                                                               "Compression", "Rigid"};
};

template <>
struct velm::json::Schema<velm::model::Member> {
  using T = velm::model::Member;
  static constexpr std::string_view name = "Member";
  static constexpr auto fields = std::tuple{field("id", &T::id),
                                            field("start_node", &T::start_node),
                                            field("end_node", &T::end_node),
                                            field("section", &T::section),
                                            field("rotation_angle", &T::rotation_angle),
                                            field("start_hinge", &T::start_hinge),
                                            field("end_hinge", &T::end_hinge),
                                            field("classification", &T::classification),
                                            field("weight", &T::weight),
                                            field("chi", &T::chi),
                                            field("reference_member", &T::reference_member),
                                            field("reference_node", &T::reference_node),
                                            field("member_type", &T::member_type)};
};

template <>
struct velm::json::Schema<velm::model::MemberSet> {
  using T = velm::model::MemberSet;
  static constexpr std::string_view name = "MemberSet";
  static constexpr auto fields =
      std::tuple{field("id", &T::id), field("l_y", &T::l_y), field("l_z", &T::l_z),
                 field("classification", &T::classification), field("members", &T::members)};
};
