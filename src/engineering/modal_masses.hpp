// The masses of the modal analysis: every member's own, per unit length, and those that a load
// combination's gravity loads stand for.
#pragma once

#include <string>
#include <vector>

#include "base/error.hpp"
#include "engineering/modal_analysis.hpp"
#include "frame/structure.hpp"
#include "frame/subdivision.hpp"
#include "mechanics/member_mass.hpp"

namespace velm::engineering {

// A line load's mass: `mass` per unit length over [from, to] of a member.
struct LineMassPart {
  std::size_t member = 0;
  double from = 0.0, to = 0.0;
  double mass = 0.0;
};

struct MemberMasses {
  // Per member: density times area in all three translations (a frame member also density
  // times I_y + I_z about its axis; a rigid link nothing).
  std::vector<mechanics::LineMass> own;
  std::vector<LineMassPart> lines;
  std::vector<double> heaviest_line;  // per member: the sum of the line masses on it
  std::vector<double> nodes;          // per node, in all three translations
  std::string source;                 // "density", "load combination 3", or both
};

// The masses of `options`: with a mass combination, each of its nodal and line loads (times
// its case's factor) adds its component along gravity, where that points with gravity, divided
// by |g|; a component against gravity adds nothing, and loads are taken one by one (a
// concentrated member load at its member's end nodes, split as a simple beam's reactions; a
// varying line load as 8 strips of its middle intensities; members' own weights, self_weight,
// not again, nor moments). Fails with
// invalid_model: a density that is not finite and non-negative, a combination that does not
// exist, a gravity that is zero or not finite, or no mass at all.
base::Expected<MemberMasses> member_masses(const frame::Structure& structure,
                                           const ModalOptions& options);

// The mass per unit length of every segment of a cut structure: its member's own and the line
// masses that cover it (the cuts lie at their ends; a truss, tension or compression member is not
// cut, and its line masses are spread along it with the same total).
std::vector<mechanics::LineMass> segment_masses(const frame::Subdivision& cut,
                                                const MemberMasses& masses);

}  // namespace velm::engineering
