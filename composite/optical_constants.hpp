// The factor that turns structure factors of a unit cell into X-ray
// susceptibility terms: Gamma = r_e lambda^2 / (pi V), with the classical
// electron radius r_e held in single precision (2.817938e-5 angstrom) and
// V = a b c, the cell treated as orthogonal.
#pragma once

namespace xrd {

// Gamma for the wavelength and lattice constants in angstrom, formed as
// (((r_e * (1/pi)) * lambda) * lambda) / ((a * b) * c).
double SusceptibilityFactor(double lambda_angstrom, double a, double b, double c);

}  // namespace xrd
