// The functions of the transverse deflection of a member under a constant axial force.
#pragma once

namespace velm::mechanics {

// With rho = N L^2 / EI (N the axial force, tension positive) and t = x / L,
//   Phi_m(t; rho) = sum over n >= 0 of rho^n t^(2n+m) / (2n+m)!,   m = 0..4,
// that is, with w = sqrt(|rho|),
//   Phi_0 = cosh(w t) (cos(w t) for rho < 0),   Phi_1 = sinh(w t) / w (sin(w t) / w),
//   Phi_(m+2) = (Phi_m - t^m / m!) / rho,
// and at rho = 0 the polynomials t^m / m!. They are chained by differentiation:
//   d/dt Phi_m = Phi_(m-1) (m >= 1),   d/dt Phi_0 = rho Phi_1,   d2/dt2 Phi_m = Phi_(m-2),
// so 1, t, Phi_2, Phi_3 solve v'''' - rho v'' = 0 and Phi_4 solves v'''' - rho v'' = 1, each
// with its initial values 0 but one (Phi_m^(m)(0) = 1).
struct AxialFunctions {
  double phi[5];
};

// Phi_0..Phi_4 at (rho, t): the power series while |rho t^2| <= 4, the closed forms beyond
// (there the recursion loses at most a factor of about 4 to cancellation). In tension cosh
// leaves the range of a double beyond w t of about 710; use the scaled forms of the member
// kernels for large tension.
AxialFunctions axial_functions(double rho, double t);
// Phi_5(t; rho) alike (= (Phi_3 - t^3 / 6) / rho beyond the series), for linearly varying loads.
double axial_function_5(double rho, double t);

// The axial functions at t = 1 with the determinant of the end conditions,
//   d = Phi_2^2 - Phi_1 Phi_3 = Phi_3 - 2 Phi_4   (1/12 at rho = 0),
// for rho <= 4 (stronger tension needs the scaled forms). In compression beyond the series
// they are formed in half angles, s = sin(u/2), c = cos(u/2), u = sqrt(-rho):
//   Phi_2 = 2 s^2 / u^2,   d = 2 s (2 s - u c) / u^4,
// which keep their relative accuracy where they vanish (u = 2 pi, where a member with both ends
// fixed buckles), as 1 - cos u and the difference Phi_3 - 2 Phi_4 would not.
struct EndFunctions {
  double phi[5];
  double d;
};
EndFunctions end_functions(double rho);

}  // namespace velm::mechanics
