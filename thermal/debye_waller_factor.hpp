// The Debye-Waller factor exp(-B s^2) of an element's thermal vibration,
// with B the same in every direction or different across and along the c
// axis of a hexagonal crystal.
#pragma once

namespace xrd {

// B in square angstroms (8 pi^2 <u^2>) across and along c; equal for an
// isotropic vibration.
struct ThermalDisplacement {
  double b_across_c = 0.0;
  double b_along_c = 0.0;
  bool IsIsotropic() const { return b_across_c == b_along_c; }
};

// exp(-(B11 (1 - q) + B33 q) s^2) at s = sin(theta)/lambda in 1/angstrom,
// where q is the share of the scattering vector's square along c.
double DebyeWallerFactor(const ThermalDisplacement& displacement, double s, double along_c_share);

// The share of 1/d^2 along c of the reflection h k l in a cell whose c is
// perpendicular to a and b: (l/c)^2 / (1/d^2); 0 for the 000 reflection.
double AlongCShare(double l, double c, double inverse_squared_spacing);

}  // namespace xrd
