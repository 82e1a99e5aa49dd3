// The factor that turns structure factors of a unit cell into X-ray
// susceptibility terms: Gamma = r_e lambda^2 / (pi V), with the classical
// electron radius r_e held in single precision (2.817938e-5 angstrom) and
// V the cell's volume.
#pragma once

namespace xrd {

// Gamma for the wavelength in angstrom and the cell volume V in cubic
// angstrom, formed as (((r_e * (1/pi)) * lambda) * lambda) / V.
double SusceptibilityFactor(double lambda_angstrom, double volume);

}  // namespace xrd
