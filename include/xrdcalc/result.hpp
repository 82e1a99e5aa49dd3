// What one run computes: the sixteen numbers of output.dat, named, their
// order, and the text of output.dat; and the reflection's geometry.
#pragma once

#include <array>
#include <complex>
#include <string>
#include <string_view>
#include <vector>

#include "xrdcalc/export.hpp"

namespace xrd {

struct XRDCALC_API Result {
  double sum_f1 = 0.0;             // sum of f1 over the cell's sites (electrons)
  double sum_f2 = 0.0;             // sum of f2
  std::complex<double> f_minus;    // F(-h,-k,-l), electrons per cell
  std::complex<double> f_plus;     // F(h,k,l)
  double chi0_real = 0.0;          // -sum_f1 * Gamma * scale, Gamma = r_e lambda^2 / (pi V)
  double chi0_imag = 0.0;          // sum_f2 * Gamma * scale
  std::complex<double> chi_minus;  // F(-h,-k,-l) * Gamma * scale
  std::complex<double> chi_plus;   // F(h,k,l) * Gamma * scale
  double a = 0.0;                  // lattice constants used for the cell volume (angstrom)
  double b = 0.0;
  double c = 0.0;
  double structure_scalar = 0.0;         // the structure files' second number, weighted
  double alpha = 90.0;                   // the cell's angles in degrees (the structure files',
  double beta = 90.0;                    // weighted where the structures of a mix differ)
  double gamma = 90.0;
  std::vector<std::string> warnings;     // each distinct one once, without "warning: "
  std::vector<std::string> math_errors;  // "asin: DOMAIN error", in order

  // The run's reflection: wavelength (angstrom), Miller indices and the
  // Bragg angle given (degrees; 0: derived from each structure's lattice).
  double lambda_angstrom = 0.0;
  double h = 0.0;
  double k = 0.0;
  double l = 0.0;
  double theta_degrees = 0.0;

  // The sixteen values in output.dat's order (kValueNames).
  std::array<double, 16> values() const;

  // chi0 = chi0_real + i chi0_imag.
  std::complex<double> chi0() const { return {chi0_real, chi0_imag}; }
  // The spacing d of the planes (h k l) of the cell a, b, c, alpha, beta,
  // gamma (the mix's weighted cell for a mix), in angstrom; +inf for 0 0 0.
  double d_spacing() const;
  // The Bragg angle in degrees: the one given, or asin(lambda / 2d) for
  // d_spacing() (for one structure, the angle its computation derived).
  double bragg_angle_deg() const;
  // |cos 2 theta_B|: the factor on chi_h of the wave polarised in the plane
  // of diffraction (pi); the perpendicular wave (sigma) has 1.
  double polarisation_factor() const;
};

// The names of the sixteen values in output.dat's order, the one place that
// order is written down: a field of Result, or the real or imaginary part
// of a complex one ("f_minus.real").
inline constexpr std::array<std::string_view, 16> kValueNames = {
    "sum_f1",         "sum_f2",         "f_minus.real",   "f_minus.imag",   "f_plus.real",   "f_plus.imag",
    "chi0_real",      "chi0_imag",      "chi_minus.real", "chi_minus.imag", "chi_plus.real", "chi_plus.imag",
    "a",              "b",              "c",              "structure_scalar"};

// The text of output.dat for `result`, with line feeds (the program writes
// each as CR LF): lines 1-12 and 14-15 "%g", 16 and 18 "%f", 13 and 17
// empty; infinities "+INF"/"-INF", NaNs "+NAN"/"-NAN".
XRDCALC_API std::string FormatOutput(const Result& result);

}  // namespace xrd
