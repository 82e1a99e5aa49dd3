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
//   input.formula.clear();                            // or a mix with real weights:
//   input.mix = {{"GaAs", 0.7}, {"InAs", 0.3}};       // the same numbers, to 1e-15
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xrdcalc/error.hpp"
#include "xrdcalc/export.hpp"
#include "xrdcalc/result.hpp"
#include "xrdcalc/run_input.hpp"

namespace xrd {

struct Stack;
struct RockingCurveInput;
struct RockingCurve;

// f1 and f2 of an element at a photon energy, as a run uses them.
struct AnomalousFactors {
  double f1 = 0.0;
  double f2 = 0.0;
  std::vector<std::string> warnings;
};

// A calculator on one data directory. Each data file is read once, when
// first needed, into memory (read again where it changed while being read)
// and kept: later changes to the files are not seen until reload(), or
// until a computation stops on a file that has changed since it was read,
// which reads the files again and computes once more. A calculator may be
// shared between threads; its copies share what it has read.
class XRDCALC_API Calculator {
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
  // program would stop, and also where the program computes with what is
  // no reflection: Miller indices that are not whole numbers, or a
  // reflection out of reach at the wavelength (lambda > 2d; the program
  // writes +INF/NaN). `input.mix` gives a mix with real weights.
  Result compute(const RunInput& input) const;

  // The structures of the data directory (the names of its .stf files).
  std::vector<std::string> structures() const;

  // An element's f1, f2 at `energy_ev` (f1 = f0(0), f2 = 0 with a warning
  // for an element that f1f2.dat lacks), and its f0 at s = sin(theta)/lambda.
  // `element` is exactly a symbol ("Ga", "N"); anything else throws Error.
  AnomalousFactors anomalous_factors(std::string_view element, double energy_ev) const;
  double form_factor(std::string_view element, double s_per_angstrom) const;

  // Reads the data files again when they are next needed (what was read
  // before stays alive, for computations still using it, until the
  // calculator and its copies are gone).
  void reload();

  const std::string& data_directory() const;

 private:
  friend RockingCurve ComputeRockingCurve(const Calculator& calculator, const Stack& stack,
                                          const RockingCurveInput& input);
  // compute() for a material of a layer stack, whose B factors serve all its
  // materials: they may name elements the run lacks. `elements` receives
  // the run's own elements (where B factors are given).
  __attribute__((visibility("hidden"))) Result compute_in_stack(const RunInput& input,
                                                                std::vector<std::string>& elements) const;

  class Data;
  std::shared_ptr<Data> data_;
};

// The data directory a calculator opens by default.
XRDCALC_API std::string DefaultDataDirectory();

// hc / lambda: the photon energy in eV of a wavelength in angstrom, as runs
// use it (hc = 12398.100046 eV angstrom).
XRDCALC_API double PhotonEnergyOf(double lambda_angstrom);

// hc / E: the wavelength in angstrom of a photon energy in eV, with the same hc.
XRDCALC_API double WavelengthOf(double energy_ev);

}  // namespace xrd
