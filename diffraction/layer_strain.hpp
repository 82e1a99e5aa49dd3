// The lattice of an epitaxial layer on a substrate's (001) or (0001) face
// and the reciprocal lattice vector of a reflection in it: a layer with
// relaxation R takes the in-plane lattice a_par = a_sub + R (a_layer -
// a_sub), and its lattice along the surface normal answers elastically,
// eps_perp = -k eps_par with eps_par = (a_par - a_layer)/a_layer and
//   k = 2 nu/(1 - nu) = 2 c12/c11 for (001) cubic layers (nu = c12/(c11 + c12)),
//   k = 2 c13/c33 for (0001) hexagonal layers
// (see e.g. Fewster, X-ray Scattering from Semiconductors, 2nd ed., 2003,
// ch. 2, and for hexagonal layers Moram & Vickers, Rep. Prog. Phys. 72
// (2009) 036502).
#pragma once

namespace xrd {

// The lattice of a layer as grown: in-plane a (= b) and c along the normal.
struct PlanarLattice {
  double a = 0.0;
  double c = 0.0;
};

// `scalar` is the structure files' scalar: nu for cubic layers, c13/c33
// for hexagonal ones.
PlanarLattice StrainedLattice(double a_substrate, PlanarLattice relaxed, double scalar, bool hexagonal,
                              double relaxation);

// The reciprocal lattice vector of (h k l) in 1/angstrom: its length in
// the surface plane and along the normal.
struct PlanarVector {
  double in_plane = 0.0;
  double normal = 0.0;
};
PlanarVector ReciprocalVector(double h, double k, double l, PlanarLattice lattice, bool hexagonal);

// The glancing angle (radians) at which the wave k0 = k (cos w, sin w)
// meets the kinematic Bragg condition |k0 + h| = k = `wavenumber` for
// h = (h_x, -h_normal); NaN where |h| > 2k.
double KinematicOmega(double h_x, double h_normal, double wavenumber);

}  // namespace xrd
