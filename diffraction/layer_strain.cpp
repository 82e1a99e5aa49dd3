// Strained lattices, reciprocal lattice vectors and kinematic Bragg angles
// of layers on (001) and (0001) faces.
#include "diffraction/layer_strain.hpp"

#include <cmath>

namespace xrd {

PlanarLattice StrainedLattice(double a_substrate, PlanarLattice relaxed, double scalar, bool hexagonal,
                              double relaxation) {
  const double a_in_plane = a_substrate + relaxation * (relaxed.a - a_substrate);
  const double eps_in_plane = (a_in_plane - relaxed.a) / relaxed.a;
  const double response = hexagonal ? 2.0 * scalar : 2.0 * scalar / (1.0 - scalar);
  return {a_in_plane, relaxed.c * (1.0 - response * eps_in_plane)};
}

PlanarVector ReciprocalVector(double h, double k, double l, PlanarLattice lattice, bool hexagonal) {
  const double in_plane_squared = hexagonal ? 4.0 / 3.0 * (h * h + h * k + k * k) : h * h + k * k;
  return {std::sqrt(in_plane_squared) / lattice.a, l / lattice.c};
}

double KinematicOmega(double h_x, double h_normal, double wavenumber) {
  // 2 k0.h + |h|^2 = 0 with k0 = k (cos w, sin w) and h = (h_x, -h_normal):
  // |h| cos(w - beta) = -|h|^2 / 2k, beta the direction of h from +x, so
  // w = beta + acos(-|h| / 2k) (the root between 0 and pi/2: theta_B in
  // the symmetric case, theta_B -+ the planes' tilt in the asymmetric ones).
  const double length = std::hypot(h_x, h_normal);
  const double beta = std::atan2(-h_normal, h_x);
  return beta + std::acos(-length / (2.0 * wavenumber));
}

}  // namespace xrd
