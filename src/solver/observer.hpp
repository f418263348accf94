// What a solve reports while it runs. The stages compute and call these hooks in the order
// things happen; an observer turns them into text, files or timings. The hooks do nothing by
// default, so a quiet analysis passes a plain Observer and an observer overrides what it needs.
#pragma once

#include <string_view>

#include "linalg/types.hpp"
#include "model/member.hpp"
#include "solver/global_matrix.hpp"

namespace velm::solver {

// The failure of an analysis that an observer stopped.
inline constexpr const char* kCancelled = "The analysis was cancelled.";

// A member's matrices as assembly forms them: the local stiffness k always; the transformation T
// (local = T * global) and the global-axes matrix Ke = T^T k T once T could be formed. Members
// whose end points coincide have no T, and the analysis stops after reporting their k.
struct MemberMatrices {
  const model::Member& member;
  const linalg::Matrix12& stiffness;
  const linalg::Matrix12* transformation = nullptr;
  const linalg::Matrix12* transformed = nullptr;
};

class Observer {
 public:
  virtual ~Observer() = default;

  // A line of progress ("Solving for displacements...\n"), line break included.
  virtual void progress(std::string_view /*line*/) {}
  virtual void member_matrices(const MemberMatrices& /*matrices*/) {}
  virtual void global_matrix(std::string_view /*title*/, const GlobalMatrix& /*matrix*/) {}
  virtual void vector(std::string_view /*title*/, const linalg::Vector& /*vector*/) {}
  // "<label><value>": the determinant of the global matrix, from its factorisation.
  virtual void determinant(std::string_view /*label*/, double /*value*/) {}
  // The stage that ran since the previous one ended ("assembly", "solve", ...).
  virtual void stage_end(std::string_view /*stage*/) {}
  // How far the stage now running has come, from 0 to 1. Called often: an observer that shows
  // it throttles it itself.
  virtual void stage_progress(std::string_view /*stage*/, double /*fraction*/) {}
  // Polled while the analysis runs, between stages and inside its long loops (at least every
  // 0.1 s of work where the work allows it): true stops the analysis, which then fails with
  // kCancelled and writes nothing.
  virtual bool stop_requested() { return false; }
};

}  // namespace velm::solver
