// The model as the engineering analysis sees it, standing alone: checked strictly, nodes
// indexed by id, every member with its axes, length, section properties, type and end
// connections, the supports per node, the loads of every load case (nodal loads by node, line
// loads in member axes), the combinations resolved to load case indices, and the groups of
// nodes that rigid links join. It holds no reference into the model document.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "linalg/types.hpp"
#include "mechanics/end_releases.hpp"
#include "mechanics/member_loads.hpp"
#include "mechanics/stiffness.hpp"
#include "model/extensions.hpp"
#include "model/velm.hpp"

namespace velm::frame {

struct StructureMember {
  std::uint32_t id = 0;
  std::uint32_t start = 0;  // node ids, 1..N
  std::uint32_t end = 0;
  double length = 0.0;
  linalg::Matrix3 axes;  // rows: local x, y, z in global components
  mechanics::FrameProperties properties;
  model::MemberType type = model::MemberType::Normal;
  // Releases and springs of the member ends; truss, tension and compression members are
  // pinned at both ends (rotations released), whatever their hinges say.
  mechanics::EndConnections ends{};
  bool released = false;         // any entry of `ends` set
  std::uint32_t material = 0;    // its section's material id
  double mass_per_length = 0.0;  // density times area

  bool axial_only() const {
    return type == model::MemberType::Truss || type == model::MemberType::Tension ||
           type == model::MemberType::Compression;
  }
  bool switching() const {
    return type == model::MemberType::Tension || type == model::MemberType::Compression;
  }
};

// A load of a load case on one member (a line load, a point force or a point moment), in the
// member's axes.
struct MemberLineLoad {
  std::size_t member = 0;  // index into Structure::members
  mechanics::MemberLoad load;
  bool weight = false;  // the member's own weight (self_weight)
};

// A point force on a node: magnitude times direction (not normalised), global axes.
struct NodalLoad {
  std::uint32_t node = 0;  // 1..N
  std::array<double, 3> direction{};
  double magnitude = 0.0;
};

// A force and moment on a node, global axes FX FY FZ MX MY MZ: a nodal moment, or the weight
// of a tension- or compression-only member, half at each end.
struct NodalAction {
  std::uint32_t node = 0;  // 1..N
  linalg::Vector6 action = linalg::Vector6::Zero();
  bool weight = false;  // a share of a member's own weight (self_weight)
};

// An enforced displacement of a dof that a support fixes.
struct ImposedDisplacement {
  std::uint32_t node = 0;  // 1..N
  int dof = 0;             // 0..5: UX .. RZ
  double value = 0.0;
};

struct LoadCase {
  std::uint32_t id = 0;
  std::string name;
  std::vector<NodalLoad> nodal_loads;  // document order
  // Document order: the line loads (empty spans left out), then the self-weight, the point
  // loads and the point moments.
  std::vector<MemberLineLoad> line_loads;
  std::vector<NodalAction> nodal_actions;  // nodal moments, then lumped weights
  std::vector<ImposedDisplacement> imposed;
};

// A load combination: the load cases it names, as indices into Structure::load_cases, each
// with its factor, in the order the document gives them (a case named twice counts twice).
struct Combination {
  struct Term {
    std::size_t load_case = 0;
    double factor = 0.0;
  };
  std::uint32_t id = 0;
  std::string name;
  std::vector<Term> terms;
};

struct Structure {
  std::uint32_t node_count = 0;
  std::vector<double> coordinates;       // X, Y, Z of node 1, then node 2, ...
  std::vector<StructureMember> members;  // document order
  std::vector<std::uint8_t> restraints;  // 6 per node, 1 where a support fixes the dof
  // Per support record, in document order: its id, the dofs it fixes and the distinct nodes
  // it holds (ascending).
  std::vector<std::uint32_t> support_ids;
  std::vector<std::array<bool, 6>> support_dofs;
  std::vector<std::vector<std::uint32_t>> support_nodes;
  // Elastic supports: per support record the stiffness of each dof it springs (0: none), and
  // per node the same (6 per node; all 0, or empty, when no support springs).
  std::vector<std::array<double, 6>> support_springs;
  std::vector<double> springs;
  std::vector<LoadCase> load_cases;       // document order
  std::vector<Combination> combinations;  // document order
  // Per node: 1 when only axial members (truss, tension, compression) reach it, so that its
  // rotations are no unknowns.
  std::vector<std::uint8_t> axial_only_nodes;
  // Rigid links: per node, the node whose motion it follows (itself when no link joins it),
  // and the links in an order where every link comes after those further from the root.
  std::vector<std::uint32_t> root;
  struct Link {
    std::size_t member;   // index into members
    std::uint32_t child;  // the end further from the root
  };
  std::vector<Link> links_leaves_first;
  bool has_switching_members = false;

  const double* xyz(std::uint32_t node_id) const { return &coordinates[3 * (node_id - 1)]; }
  std::size_t result_set_count() const { return load_cases.size() + combinations.size(); }
};

// Checks the model and indexes it. The first problem found is the error (invalid_model, a
// text naming the record concerned): ids used twice (load cases, members, supports,
// combinations), node ids not running 1..N, a missing section, material, hinge or reference
// node, a non-finite or non-positive E, G, A, I_y, I_z or J, a negative or non-finite hinge
// value, a node given different coordinates by two members (beyond 1e-9 of the model's largest
// extent), coincident ends, a reference node on the member's axis, a support id that names no
// support, a combination naming a load case that does not exist, a nodal load on a node
// outside the model or with non-finite values, a line load that names no member, lies outside
// its member, or acts on a tension, compression or rigid member, and rigid links that close a
// loop or join two supported nodes; and in the extensions (model/extensions.hpp) a point load,
// point moment, nodal moment or enforced displacement naming no member or node, a position off
// its member, a non-finite value, an axes that is neither "global" nor "local", a load that its
// member cannot carry, an enforced displacement of a dof that no support fixes, and a spring of
// a fixed dof or with a stiffness that is not finite and positive. Every pass over the records
// tells `monitor` how far the "check" stage has come and asks it whether to stop, every 1024
// records; a stop fails as cancelled.
base::Expected<Structure> build_structure(const model::VELM& model,
                                          const model::Extensions& extensions,
                                          base::Monitor& monitor);
// The same without extensions, or without extensions and monitor.
base::Expected<Structure> build_structure(const model::VELM& model, base::Monitor& monitor);
base::Expected<Structure> build_structure(const model::VELM& model);

}  // namespace velm::frame
