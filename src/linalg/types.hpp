// The linear-algebra types of the engine, in one place.
#pragma once

#include <Eigen/Core>

namespace velm::linalg {

using Matrix3 = Eigen::Matrix<double, 3, 3>;
using Matrix6 = Eigen::Matrix<double, 6, 6>;
using Matrix12 = Eigen::Matrix<double, 12, 12>;
using Vector3 = Eigen::Matrix<double, 3, 1>;
using Vector12 = Eigen::Matrix<double, 12, 1>;
using Vector6 = Eigen::Matrix<double, 6, 1>;
using DenseMatrix = Eigen::MatrixXd;  // column-major
using Vector = Eigen::VectorXd;

}  // namespace velm::linalg
