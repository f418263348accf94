// What the listed solve reports while it runs, beyond a monitor's stages and stop request: its
// progress lines and every matrix and vector it forms. The stages compute and call these hooks
// in the order things happen; an observer turns them into text, files or timings. The hooks do
// nothing by default, so a quiet solve passes a plain Observer.
#pragma once

#include <string_view>

#include "base/monitor.hpp"
#include "linalg/types.hpp"
#include "model/member.hpp"
#include "listing/global_matrix.hpp"

namespace velm::listing {

// A member's matrices as assembly forms them: the local stiffness k always; the transformation T
// (local = T * global) and the global-axes matrix Ke = T^T k T once T could be formed. Members
// whose end points coincide have no T, and the analysis stops after reporting their k.
struct MemberMatrices {
  const model::Member& member;
  const linalg::Matrix12& stiffness;
  const linalg::Matrix12* transformation = nullptr;
  const linalg::Matrix12* transformed = nullptr;
};

class Observer : public base::Monitor {
 public:
  // A line of progress ("Solving for displacements...\n"), line break included.
  virtual void progress(std::string_view /*line*/) {}
  virtual void member_matrices(const MemberMatrices& /*matrices*/) {}
  virtual void global_matrix(std::string_view /*title*/, const GlobalMatrix& /*matrix*/) {}
  virtual void vector(std::string_view /*title*/, const linalg::Vector& /*vector*/) {}
  // "<label><value>": the determinant of the global matrix, from its factorisation.
  virtual void determinant(std::string_view /*label*/, double /*value*/) {}
};

}  // namespace velm::listing
