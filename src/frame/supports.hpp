// The supports of the engineering analysis: per support record its id, the dofs it fixes and
// the nodes that name it; per node the dofs fixed.
#pragma once

#include "base/error.hpp"
#include "frame/checks.hpp"
#include "frame/structure.hpp"
#include "model/lookup_maps.hpp"
#include "model/velm.hpp"

namespace velm::frame {

// Fills support_ids, support_dofs, support_nodes and restraints. Fails on a member end that
// names a support id no record has. The support ids must be distinct (checked before).
base::Expected<void> apply_supports(const model::VELM& model, const model::LookupMaps& maps,
                                    Structure& structure, CheckProgress& progress);

}  // namespace velm::frame
