// Assembly of the global stiffness matrix from the members' element matrices.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "linalg/types.hpp"
#include "listing/global_matrix.hpp"
#include "listing/observer.hpp"
#include "model/lookup_maps.hpp"
#include "model/velm.hpp"

namespace velm::listing {

struct ElementMatrices {
  linalg::Matrix12 stiffness;       // k, local axes
  linalg::Matrix12 transformation;  // T, local = T * global
};

struct Assembly {
  std::unique_ptr<GlobalMatrix> stiffness;
  // One entry per member in document order; nothing for members left out of the analysis
  // (section or material not found).
  std::vector<std::optional<ElementMatrices>> elements;
};

// For a model whose node ids have been validated: reports "Assembling global stiffness
// matrix...", checks node id 0 and the memory for the global matrices, then for each member
// whose section and material are found: forms k and T (coincident end points fail here, after
// k is reported), Ke = T^T k T, reports the three and adds Ke into K.
base::Expected<Assembly> assemble_global_stiffness_matrix(const model::VELM& model,
                                                          const model::LookupMaps& maps,
                                                          Observer& observer,
                                                          Storage storage = Storage::automatic);

}  // namespace velm::listing
