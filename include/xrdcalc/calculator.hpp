// xrdcalc as a library: a calculator opened on a data directory computes
// what one run of the program computes, with the same numbers to the last
// bit, without files or a process per evaluation.
//
//   xrd::Calculator calculator;                       // the installed Base/
//   xrd::RunInput input;
//   input.lambda_angstrom = 1.5405929;
//   input.h = 0; input.k = 0; input.l = 4;
//   input.formula = "Ga7In3As";
//   xrd::Result result = calculator.compute(input);   // throws xrd::Error
//   std::abs(result.f_plus);                          // |F(004)|, electrons
#pragma once

#include <array>
#include <complex>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xrdcalc/error.hpp"

namespace xrd {

// One run description: what input.dat holds.
struct RunInput {
  double a = 0.0;  // lattice constants in angstrom; 0 0 0 takes them from the structure files
  double b = 0.0;
  double c = 0.0;
  double value4 = 0.0;  // three values read and kept, used by no computation
  double value5 = 0.0;
  double value6 = 0.0;
  double lambda_angstrom = 0.0;  // wavelength, positive and finite
  double h = 0.0;                // Miller indices (real numbers)
  double k = 0.0;
  double l = 0.0;
  double theta_degrees = 0.0;  // Bragg angle; 0 derives it from each structure's lattice
  std::string formula;         // a structure name (GaAs) or a mix (Ga7In3As)
  double scale = 1.0;          // factor on the six optical constants
};

// What one run computes: the sixteen numbers of output.dat, named, and what
// the run would have written to standard error.
struct Result {
  double sum_f1 = 0.0;                // sum of f1 over the cell's sites (electrons)
  double sum_f2 = 0.0;                // sum of f2
  std::complex<double> f_minus;       // F(-h,-k,-l), electrons per cell
  std::complex<double> f_plus;        // F(h,k,l)
  double chi0_real = 0.0;             // -sum_f1 * Gamma * scale, Gamma = r_e lambda^2 / (pi V)
  double chi0_imag = 0.0;             // sum_f2 * Gamma * scale
  std::complex<double> chi_minus;     // F(-h,-k,-l) * Gamma * scale
  std::complex<double> chi_plus;      // F(h,k,l) * Gamma * scale
  double a = 0.0;                     // lattice constants used for the cell volume (angstrom)
  double b = 0.0;
  double c = 0.0;
  double structure_scalar = 0.0;      // the structure files' second number, weighted
  std::vector<std::string> warnings;     // each distinct one once, without "warning: "
  std::vector<std::string> math_errors;  // "asin: DOMAIN error", in order

  // The sixteen values in output.dat's order.
  std::array<double, 16> values() const;
};

// Reads the text of input.dat (line feeds; carriage returns are dropped as
// text mode drops them). Throws Error, with the message the program prints,
// when it is not a usable run description; `warnings` (if given) receives
// the warnings of reading it.
RunInput ParseRunInput(std::string_view input_text, std::vector<std::string>* warnings = nullptr);

// The text of output.dat for `result`, with line feeds (the program writes
// each as CR LF).
std::string FormatOutput(const Result& result);

// f1 and f2 of an element at a photon energy, as a run uses them.
struct AnomalousFactors {
  double f1 = 0.0;
  double f2 = 0.0;
  std::vector<std::string> warnings;
};

class DataFiles;

// A calculator on one data directory. Each data file is read once, when
// first needed, into memory, and kept: later changes to the files are not
// seen (open another calculator for them). A calculator is immutable as
// far as its users can tell and may be shared between threads.
class Calculator {
 public:
  // The data directory the installed program uses (<prefix>/lib/xrdcalc/Base,
  // found beside the installed shared library, else the prefix configured),
  // or the source tree's Base/ before installation.
  Calculator();
  explicit Calculator(std::string data_directory);
  ~Calculator();
  Calculator(const Calculator&) = default;
  Calculator& operator=(const Calculator&) = default;

  // One run. Throws Error with the message the program prints where the
  // program would stop.
  Result compute(const RunInput& input) const;

  // The structures of the data directory (the names of its .stf files).
  std::vector<std::string> structures() const;

  // An element's f1, f2 at `energy_ev` (f1 = f0(0), f2 = 0 with a warning
  // for an element that f1f2.dat lacks), and its f0 at s = sin(theta)/lambda.
  AnomalousFactors anomalous_factors(std::string_view element, double energy_ev) const;
  double form_factor(std::string_view element, double s_per_angstrom) const;

  const std::string& data_directory() const;

 private:
  std::shared_ptr<const DataFiles> files_;
};

// The data directory a calculator opens by default.
std::string DefaultDataDirectory();

// hc / lambda: the photon energy in eV of a wavelength in angstrom, as runs use it.
double PhotonEnergyOf(double lambda_angstrom);

}  // namespace xrd
