// The loads and supports of the engineering analysis's extensions to the document
// (model/extensions.hpp), checked and resolved onto the structure.
#pragma once

#include "base/error.hpp"
#include "frame/checks.hpp"
#include "frame/structure.hpp"
#include "model/extensions.hpp"
#include "model/velm.hpp"

namespace velm::frame {

// Adds to every load case its self-weight, point loads and point moments (member loads in member
// axes, after the line loads), its nodal moments and the weights of tension- and
// compression-only members (nodal actions) and its enforced displacements. Needs the members
// with their axes and lengths and the restraints. A member's weight per length is its density
// times area times the case's gravity vector: a uniform line load of normal and truss members,
// half at each end node of tension- and compression-only members (which carry no load across),
// nothing on rigid links.
base::Expected<void> read_extension_loads(const model::VELM& model,
                                          const model::Extensions& extensions, Structure& structure,
                                          CheckProgress& progress);

// Fills support_springs and springs from the supports' displacement_springs and
// rotation_springs. Needs the supports applied.
base::Expected<void> apply_springs(const model::VELM& model, const model::Extensions& extensions,
                                   Structure& structure, CheckProgress& progress);

// The extension records that the passes above visit.
std::size_t extension_records(const model::VELM& model, const model::Extensions& extensions);

}  // namespace velm::frame
