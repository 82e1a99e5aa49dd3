// Dynamical X-ray diffraction of a laterally homogeneous layer stack on a
// thick substrate, in the coplanar Bragg case: the Takagi-Taupin equations
// of each layer solved in closed form and the ratio X = D_h/D_0 carried from
// the substrate up through the layers (the recursion of Bartels, Hornstra &
// Lobeek, Acta Cryst. A 42 (1986) 539).
//
// Geometry: z points into the crystal, x lies in the surface and in the
// plane of diffraction; k = 1/lambda. The incident wave vector at the
// glancing angle omega is k0 = k (cos omega, sin omega), the diffracted one
// kh = k0 + h with h the layer's reciprocal lattice vector (1/angstrom;
// h_z < 0 in the Bragg case). With gamma_0 = k0_z/k, gamma_h = kh_z/k and
// the deviation alpha = (|k0 + h|^2 - k^2)/k^2, the equations read
//   gamma_0 dD_0/dz = i (pi/lambda) (chi_0 D_0 + C chi_hbar D_h)
//   gamma_h dD_h/dz = i (pi/lambda) (C chi_h D_0 + (chi_0 - alpha) D_h)
// with C = 1 (sigma) or cos 2 theta (pi), chi_h the Fourier coefficient of
// the susceptibility that couples D_0 into D_h. X obeys a Riccati equation
// with constant coefficients in each layer, whose solution over a thickness
// t is exact; the substrate's X is the root that stays bounded in depth.
// The reflectivity is |gamma_h / gamma_0| |X|^2 at the surface, the
// gammas of the waves in vacuum.
#pragma once

#include <complex>
#include <vector>

namespace xrd {

// One layer (or the substrate) as the waves see it.
struct LayerWave {
  std::complex<double> chi0;      // chi_0: Re < 0, Im > 0 (absorption)
  std::complex<double> chi_h;     // couples D_0 into D_h
  std::complex<double> chi_hbar;  // couples D_h back into D_0
  double h_x = 0.0;               // reciprocal lattice vector, 1/angstrom
  double h_z = 0.0;
  double thickness_angstrom = 0.0;  // ignored for the substrate
};

enum class WavePolarization { Sigma, Pi };

// The reflectivity at the glancing angle `omega_rad` of the stack
// `layers`: the substrate first, then the layers in growth order (the last
// is the surface). `wavenumber` is 1/lambda in 1/angstrom.
double StackReflectivity(const std::vector<LayerWave>& layers, double wavenumber, double omega_rad,
                         WavePolarization polarization);

}  // namespace xrd
