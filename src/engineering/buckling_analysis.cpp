#include "engineering/buckling_analysis.hpp"

#include <Spectra/SymGEigsSolver.h>
#include <Eigen/Eigenvalues>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <numeric>
#include <optional>

#include "engineering/result_recovery.hpp"
#include "system/assembly.hpp"
#include "system/factorisation.hpp"
#include "system/member_unknowns.hpp"

namespace velm::engineering {

namespace {

using linalg::Vector;
using system::ElementData;
using system::SparseGlobalMatrix;

// Systems up to this order are solved densely in step 1.
constexpr std::size_t kDenseOrder = 400;
constexpr double kRefinementTolerance = 1e-10;
constexpr int kMaxRefinements = 12;

// The element data of every member at the axial forces lambda N.
std::vector<ElementData> elements_at(const system::DiscreteModel& model,
                                     const std::vector<std::uint8_t>& active,
                                     std::span<const double> axial, double lambda) {
  const frame::Structure& structure = model.structure;
  std::vector<ElementData> elements;
  elements.reserve(structure.members.size());
  for (std::size_t m = 0; m < structure.members.size(); ++m) {
    const frame::StructureMember& member = structure.members[m];
    if (!active[m] || member.type == model::MemberType::Rigid)
      elements.push_back(model.elements[m]);
    else
      elements.push_back(
          system::second_order_element_data(structure, model.dofs, member, lambda * axial[m]));
  }
  return elements;
}

base::Expected<SparseGlobalMatrix> tangent_at(const system::DiscreteModel& model,
                                              const std::vector<std::uint8_t>& active,
                                              std::span<const double> axial, double lambda,
                                              base::Monitor& monitor) {
  const std::vector<ElementData> elements = elements_at(model, active, axial, lambda);
  return system::assemble_stiffness(model, elements, active, monitor);
}

// The roots of the clamped-clamped beam-column, mu^2 = -N L^2 / EI: 4 pi^2 (symmetric), the
// root of tan(mu / 2) = mu / 2 (antisymmetric), 16 pi^2.
constexpr double kClampedRoots[] = {4.0 * std::numbers::pi * std::numbers::pi,
                                    8.986818916144164 * 8.986818916144164,
                                    16.0 * std::numbers::pi* std::numbers::pi};

// The factors at which member m buckles with its nodes held: the first three of each bending
// plane when both its ends are rigidly joined, the first when some are released or sprung.
std::vector<double> member_critical_factors(const system::DiscreteModel& model, std::size_t m,
                                            double axial) {
  const frame::StructureMember& member = model.structure.members[m];
  if (member.axial_only() || member.type == model::MemberType::Rigid || !(axial < 0.0)) return {};
  const double l2 = member.length * member.length;
  const double e = member.properties.e_mod;
  std::vector<double> factors;
  if (!member.released) {
    for (const double root : kClampedRoots)
      for (const double i : {member.properties.i_y, member.properties.i_z})
        factors.push_back(root * e * i / (-axial * l2));
    return factors;
  }
  const double least_i = std::min(member.properties.i_y, member.properties.i_z);
  const double clamped = kClampedRoots[0] * e * least_i / (-axial * l2);
  const auto buckles = [&](double lambda) {
    return system::second_order_element_data(model.structure, model.dofs, member, lambda * axial)
        .condensation.buckles_between_nodes();
  };
  if (!buckles(clamped * (1.0 - 1e-9))) return {clamped};
  double low = 0.0, high = clamped * (1.0 - 1e-9);
  while (high - low > 1e-14 * high) {
    const double middle = 0.5 * (low + high);
    (buckles(middle) ? high : low) = middle;
  }
  return {high};
}

// -K_G and K_E as the eigensolver takes them: products, and solves with K_E's factor.
struct MinusSecant {
  using Scalar = double;
  const linalg::CsrMatrix& matrix;
  Eigen::Index rows() const { return matrix.size; }
  Eigen::Index cols() const { return matrix.size; }
  void perform_op(const double* x, double* y) const {
    matrix.multiply(x, y);
    for (std::int32_t i = 0; i < matrix.size; ++i) y[i] = -y[i];
  }
};
struct Elastic {
  using Scalar = double;
  const linalg::CsrMatrix& matrix;
  const system::Factorisation& factor;
  Eigen::Index rows() const { return matrix.size; }
  Eigen::Index cols() const { return matrix.size; }
  void perform_op(const double* x, double* y) const { matrix.multiply(x, y); }
  void solve(const double* x, double* y) const {
    std::copy(x, x + matrix.size, y);
    if (!factor.solve_in_place(y, 1)) std::fill(y, y + matrix.size, 0.0);
  }
};

// phi^T K(lambda) phi for a fixed phi, summed over the members from their end displacements.
class RayleighFunctional {
 public:
  RayleighFunctional(const system::DiscreteModel& model, const std::vector<std::uint8_t>& active,
                     std::span<const double> axial, const Vector& phi)
      : model_(&model), axial_(axial) {
    const frame::Structure& structure = model.structure;
    const std::vector<double> nodes = node_displacements(model, phi.data());
    for (std::size_t m = 0; m < structure.members.size(); ++m) {
      const frame::StructureMember& member = structure.members[m];
      if (!active[m] || member.type == model::MemberType::Rigid) continue;
      const linalg::Vector12 local = system::local_end_displacements(member, nodes);
      if (axial[m] == 0.0) {
        constant_ += local.dot(model.elements[m].stiffness() * local);
      } else {
        members_.push_back(m);
        local_.push_back(local);
      }
    }
  }

  double operator()(double lambda) const {
    double sum = constant_;
    const frame::Structure& structure = model_->structure;
    for (std::size_t i = 0; i < members_.size(); ++i) {
      const std::size_t m = members_[i];
      const ElementData element = system::second_order_element_data(
          structure, model_->dofs, structure.members[m], lambda * axial_[m]);
      sum += local_[i].dot(element.stiffness() * local_[i]);
    }
    return sum;
  }

 private:
  const system::DiscreteModel* model_;
  std::span<const double> axial_;
  double constant_ = 0.0;
  std::vector<std::size_t> members_;
  std::vector<linalg::Vector12> local_;
};

struct Estimate {
  double factor;
  Vector mode;
};

// Step 1: -K_G phi = mu K_E phi, the largest positive mu.
base::Expected<std::vector<Estimate>> estimates(const SparseGlobalMatrix& elastic,
                                                const SparseGlobalMatrix& secant,
                                                const system::Factorisation& elastic_factor,
                                                int count) {
  const auto n = static_cast<Eigen::Index>(elastic.size());
  std::vector<Estimate> found;
  if (n == 0) return found;
  if (static_cast<std::size_t>(n) <= kDenseOrder) {
    Eigen::MatrixXd k(n, n), g(n, n);
    for (Eigen::Index i = 0; i < n; ++i)
      for (Eigen::Index j = 0; j < n; ++j) {
        const auto a = static_cast<std::size_t>(std::min(i, j));
        const auto b = static_cast<std::size_t>(std::max(i, j));
        k(i, j) = elastic.at(a, b);
        g(i, j) = -secant.at(a, b);
      }
    const Eigen::GeneralizedSelfAdjointEigenSolver<Eigen::MatrixXd> solver(g, k);
    if (solver.info() != Eigen::Success)
      return base::fail(base::ErrorCode::solver_failed,
                        "the eigenproblem of the critical loads did not converge");
    const double largest = solver.eigenvalues().cwiseAbs().maxCoeff();
    for (Eigen::Index i = n - 1; i >= 0 && static_cast<int>(found.size()) < count; --i) {
      const double mu = solver.eigenvalues()(i);
      if (!(mu > 1e-12 * largest)) break;
      found.push_back({1.0 / mu, solver.eigenvectors().col(i)});
    }
    return found;
  }
  const linalg::CsrMatrix kg = linalg::full_rows(secant.matrix());
  const linalg::CsrMatrix ke = linalg::full_rows(elastic.matrix());
  MinusSecant a{kg};
  Elastic b{ke, elastic_factor};
  const Eigen::Index nev = std::min<Eigen::Index>(count, n - 1);
  // The estimates need no more than a few digits (step 2 refines them to full accuracy): a
  // small basis and a loose tolerance take the fewest solves, each a pass over the factor.
  const Eigen::Index ncv = std::min<Eigen::Index>(n, std::max<Eigen::Index>(2 * nev + 1, 12));
  Spectra::SymGEigsSolver<MinusSecant, Elastic, Spectra::GEigsMode::RegularInverse> solver(
      a, b, nev, ncv);
  solver.init();
  solver.compute(Spectra::SortRule::LargestAlge, 1000, 1e-4);
  if (solver.info() != Spectra::CompInfo::Successful)
    return base::fail(base::ErrorCode::solver_failed,
                      "the eigenproblem of the critical loads did not converge");
  const Vector values = solver.eigenvalues();  // descending
  const Eigen::MatrixXd vectors = solver.eigenvectors();
  const double largest = values.cwiseAbs().maxCoeff();
  for (Eigen::Index i = 0; i < values.size(); ++i)
    if (values(i) > 1e-12 * largest) found.push_back({1.0 / values(i), vectors.col(i)});
  return found;
}

}  // namespace

base::Expected<ElasticStiffness> elastic_stiffness(const system::DiscreteModel& model,
                                                   const std::vector<std::uint8_t>& active,
                                                   base::Monitor& monitor) {
  auto matrix = system::assemble_stiffness(model, active, monitor);
  if (!matrix) return std::unexpected(std::move(matrix.error()));
  auto factor = system::Factorisation::of(SparseGlobalMatrix(*matrix), model.dofs, monitor);
  if (!factor) return std::unexpected(std::move(factor.error()));
  return ElasticStiffness{std::move(*matrix), std::move(*factor)};
}

base::Expected<Buckling> critical_load_factors(const system::DiscreteModel& model,
                                               const std::vector<std::uint8_t>& active,
                                               std::span<const double> axial, int count,
                                               base::Monitor& monitor,
                                               const ElasticStiffness* shared) {
  Buckling result;
  if (count <= 0) return result;
  const frame::Structure& structure = model.structure;
  const std::size_t n = model.unknowns();
  base::Monitor quiet;

  // Step 3 first: the members' own, which bound the others' refinement.
  std::vector<double> own;
  for (std::size_t m = 0; m < structure.members.size(); ++m)
    if (active[m])
      for (const double factor : member_critical_factors(model, m, axial[m])) own.push_back(factor);
  std::ranges::sort(own);
  const double first_own = own.empty() ? std::numeric_limits<double>::infinity() : own.front();

  std::vector<std::pair<double, Vector>> modes;
  if (n > 0) {
    std::optional<ElasticStiffness> own_elastic;
    if (shared == nullptr) {
      auto made = elastic_stiffness(model, active, quiet);
      if (!made) return std::unexpected(std::move(made.error()));
      own_elastic.emplace(std::move(*made));
    }
    const ElasticStiffness& stiffness = shared != nullptr ? *shared : *own_elastic;
    const SparseGlobalMatrix* elastic = &stiffness.matrix;
    // The secant at lambda = 1, or below the first member's own critical factor.
    const double at = std::min(1.0, 0.5 * first_own);
    auto tangent = tangent_at(model, active, axial, at, quiet);
    if (!tangent) return std::unexpected(std::move(tangent.error()));
    SparseGlobalMatrix secant = std::move(*tangent);
    secant.subtract_and_divide(*elastic, at);
    auto estimated = estimates(*elastic, secant, stiffness.factor, count);
    if (!estimated) return std::unexpected(std::move(estimated.error()));
    if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);

    const auto k_e = [&](const Vector& v) { return elastic->multiply(v); };
    for (Estimate& estimate : *estimated) {
      double lambda = std::min(estimate.factor, first_own * (1.0 - 1e-9));
      Vector phi = estimate.mode;
      // Orthogonal in K_E to the accepted modes of (nearly) the same factor, so that a repeated
      // factor gives its modes apart; modes of other factors are left alone (the modes of the
      // exact problem are not orthogonal in any fixed metric).
      const auto deflate = [&](Vector& v) {
        for (const auto& [factor, accepted] : modes)
          if (std::abs(factor - lambda) <= 1e-2 * lambda) v -= accepted * accepted.dot(k_e(v));
        const double size = std::sqrt(std::max(v.dot(k_e(v)), 0.0));
        if (size > 0.0) v /= size;
      };
      deflate(phi);
      // p(lambda) = phi^T K(lambda) phi, member by member: the members without axial force
      // give a constant part.
      RayleighFunctional functional(model, active, axial, phi);
      const auto rayleigh = [&](double factor) -> base::Expected<double> {
        return functional(factor);
      };
      for (int refinement = 0; refinement < kMaxRefinements; ++refinement) {
        // The root of the Rayleigh functional near lambda (secant iterations).
        double a = lambda, b = lambda * (1.0 + 1e-4);
        auto pa = rayleigh(a);
        if (!pa) return std::unexpected(std::move(pa.error()));
        auto pb = rayleigh(b);
        if (!pb) return std::unexpected(std::move(pb.error()));
        double root = lambda;
        for (int step = 0; step < 50 && *pb != *pa; ++step) {
          root = b - *pb * (b - a) / (*pb - *pa);
          root = std::clamp(root, 0.5 * b, std::min(2.0 * b, first_own * (1.0 - 1e-9)));
          if (std::abs(root - b) <= 1e-15 * std::abs(root)) break;
          a = b;
          pa = pb;
          b = root;
          pb = rayleigh(b);
          if (!pb) return std::unexpected(std::move(pb.error()));
        }
        const double change = std::abs(root - lambda);
        lambda = root;
        // The iteration converges at least quadratically (cubically in practice: a change of
        // 1e-7 is followed by one of 1e-16), so a change below the square root of the
        // tolerance after an inverse iteration leaves an error below the tolerance.
        if (refinement > 0 && change <= std::sqrt(kRefinementTolerance) * lambda) break;
        // Inverse iteration at lambda.
        auto k = tangent_at(model, active, axial, lambda, quiet);
        if (!k) return std::unexpected(std::move(k.error()));
        auto factor = system::Factorisation::of(std::move(*k), model.dofs, quiet);
        if (!factor) {
          if (factor.error().code == base::ErrorCode::unstable) break;  // singular: it is the root
          return std::unexpected(std::move(factor.error()));
        }
        Vector next = k_e(phi);
        if (!factor->solve_in_place(next.data(), 1)) break;
        deflate(next);
        if (!next.allFinite() || next.squaredNorm() == 0.0) break;
        phi = next;
        functional = RayleighFunctional(model, active, axial, phi);
        if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
      }
      modes.emplace_back(lambda, phi);
    }
  }
  // The lowest `count` of both kinds, a member's own (which moves no node) after a mode of the
  // nodes with the same factor.
  std::ranges::stable_sort(modes, {}, [](const auto& mode) { return mode.first; });
  std::size_t next_node_mode = 0, next_own = 0;
  while (static_cast<int>(result.factors.size()) < count) {
    const bool node_mode_left = next_node_mode < modes.size();
    const bool own_left = next_own < own.size() && std::isfinite(own[next_own]);
    if (!node_mode_left && !own_left) break;
    if (node_mode_left && (!own_left || modes[next_node_mode].first <= own[next_own])) {
      const auto& [factor, mode] = modes[next_node_mode++];
      result.factors.push_back(factor);
      result.modes.insert(result.modes.end(), mode.data(), mode.data() + mode.size());
    } else {
      result.factors.push_back(own[next_own++]);
      result.modes.insert(result.modes.end(), n, 0.0);
    }
  }
  return result;
}

}  // namespace velm::engineering
