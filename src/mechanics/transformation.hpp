// Local axes of a straight member and the rotation between global and local axes.
#pragma once

#include <expected>
#include <optional>
#include <string>

#include "linalg/types.hpp"
#include "model/member.hpp"

namespace velm::mechanics {

inline constexpr double kLengthTolerance = 1e-12;
inline constexpr double kParallelThreshold = 0.999999;
inline constexpr const char* kCoincidentEndsMessage =
    "Start and end nodes are the same or too close to define a direction.";

// Transformation matrix T of a member, local = T * global, from its two node records alone.
//
// Local axes (right-handed, each a unit vector in global components):
//   x = (end - start) / L;
//   z = x cross v / |x cross v|, with the reference direction v = global Y, or global Z when
//       |x . Y| > 0.999999 (the member runs along Y);
//   y = z cross x, normalised again.
// So a member that is not parallel to Y has z in the global X-Z plane and y pointing upwards
// (non-negative Y component): along +X, y = +Y and z = +Z; along +Y, y = +Z and z = +X.
//
// lambda holds x, y, z as its rows; T = diag(lambda, lambda, lambda, lambda) acting on the
// element's dofs start UX UY UZ RX RY RZ, end UX UY UZ RX RY RZ. Rotation angle and reference
// node or member are not used.
//
// Fails when the end points are closer than 1e-12. Non-finite coordinates are not tested: T
// then carries non-finite values.
std::expected<linalg::Matrix12, std::string> calculate_transformation_matrix_3d(
    const model::Member& member);

// lambda alone (rows x, y, z as above) for the two end points; fails as above.
std::expected<linalg::Matrix3, std::string> local_axes(const linalg::Vector3& start,
                                                       const linalg::Vector3& end);

inline constexpr const char* kReferenceOnAxisMessage =
    "the reference node lies on the member's axis";

// The axes of a member whose section is oriented: with a reference point, the local x-y plane
// contains it and local y points to its side (y = the part of (reference - start) normal to x,
// normalised; z = x cross y); without one, y and z as above. Then `rotation_degrees` turns y
// and z about x by the right-hand rule: y' = cos a y + sin a z, z' = -sin a y + cos a z. Fails
// for coincident ends, and for a reference point within 1e-9 L of the axis.
std::expected<linalg::Matrix3, std::string> oriented_axes(
    const linalg::Vector3& start, const linalg::Vector3& end,
    const std::optional<linalg::Vector3>& reference, double rotation_degrees);

// T^T k T for a local element matrix k, formed block by block from lambda: the 16 blocks of
// 3 x 3 each become lambda^T k_ij lambda (a quarter of the work of the full products).
linalg::Matrix12 to_global_axes(const linalg::Matrix12& local, const linalg::Matrix3& lambda);

}  // namespace velm::mechanics
