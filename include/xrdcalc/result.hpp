// What one run computes: the sixteen numbers of output.dat, named, their
// order, and the text of output.dat.
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
  std::vector<std::string> warnings;     // each distinct one once, without "warning: "
  std::vector<std::string> math_errors;  // "asin: DOMAIN error", in order

  // The sixteen values in output.dat's order (kValueNames).
  std::array<double, 16> values() const;
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
