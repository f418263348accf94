// From the solved displacements to the results record of a load case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "linalg/types.hpp"
#include "listing/assembly.hpp"
#include "model/results.hpp"
#include "model/velm.hpp"

namespace velm::listing {

// One entry per member end in document order (start node, then end node), no de-duplication.
std::vector<model::NodeDisplacement> extract_displacements(
    const std::vector<model::MemberSet>& sets, const linalg::Vector& u);

// One entry per support record, in list order: the support reactions K*u - F at the dofs the
// record fixes, summed over the distinct nodes it was applied to (applied_nodes from
// apply_supports); 0 at the dofs it leaves free and for records never applied.
std::vector<model::ReactionForce> support_reactions(
    const std::vector<model::NodalSupport>& supports,
    const std::vector<std::vector<std::uint32_t>>& applied_nodes, const linalg::Vector& residual);

// End forces of each member in its local axes, f = k * (T * u_e) with u_e the 12 global end
// displacements: the forces the nodes exert on the member, start end then end end, each as
// fx (axial), fy, fz, mx (torsion), my, mz. Zeros for members left out of the analysis.
std::vector<model::MemberForce> member_end_forces(
    const std::vector<model::MemberSet>& sets,
    const std::vector<std::optional<ElementMatrices>>& elements, const linalg::Vector& u);

// Fails (not_finite) with a text naming the first non-finite entry of a global vector by node and
// dof.
base::Expected<void> check_finite(const linalg::Vector& vector, const std::string& what);

}  // namespace velm::listing
