// Assembly of the global stiffness matrix from the members' element matrices, with the
// printout and the transformation-matrix export of every member.
#pragma once

#include <expected>
#include <optional>
#include <string>
#include <vector>

#include "linalg/types.hpp"
#include "model/velm.hpp"
#include "report/output.hpp"
#include "solver/global_matrix.hpp"

namespace velm::solver {

struct ElementMatrices {
  linalg::Matrix12 stiffness;       // k, local axes
  linalg::Matrix12 transformation;  // T, local = T * global
};

struct Assembly {
  GlobalMatrix stiffness;
  // One entry per member in document order; nothing for members left out of the analysis
  // (section or material not found).
  std::vector<std::optional<ElementMatrices>> elements;
};

// Prints "Assembling global stiffness matrix...", checks the node numbering, node id 0 and the
// memory for the global matrices, then for each member whose section and material are found:
// prints k and det(k), forms T (coincident end points fail here), prints and exports T, forms
// Ke = T^T k T, prints it and adds it into K.
std::expected<Assembly, std::string> assemble_global_stiffness_matrix(
    const model::VELM& model, report::Output& output, Storage storage = Storage::automatic);

}  // namespace velm::solver
