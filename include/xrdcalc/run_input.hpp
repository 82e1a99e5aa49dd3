// One run description, as input.dat holds it, and the reading of that file;
// in the library, a mix may also be given with real weights.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "xrdcalc/export.hpp"

namespace xrd {

// A structure of a mix and its weight: any finite number from 0 on; the
// weights of a mix are divided by their sum.
struct MixComponent {
  std::string structure;  // a structure name (GaAs), digits and all
  double weight = 0.0;
};

struct RunInput {
  double a = 0.0;  // lattice constants in angstrom: 0 0 0 takes them from the
  double b = 0.0;  // structure files; otherwise three positive, finite numbers
  double c = 0.0;
  double value4 = 0.0;  // three values read and kept, used by no computation
  double value5 = 0.0;
  double value6 = 0.0;
  double lambda_angstrom = 0.0;  // wavelength, positive and finite
  double h = 0.0;                // Miller indices (real numbers)
  double k = 0.0;
  double l = 0.0;
  double theta_degrees = 0.0;  // Bragg angle; 0 derives it from each structure's lattice
  std::string formula = {};    // a structure name (GaAs) or a mix (Ga7In3As)
  double scale = 1.0;          // factor on the six optical constants
  // In place of the formula (which is then empty), a mix with real weights,
  // averaged as a formula's digits are: for whole weights the results are
  // the formula's to the last bit. At most 10 components. Library only:
  // input.dat has the formula.
  std::vector<MixComponent> mix = {};
  // The atoms' thermal vibration. At a temperature in kelvin each element's
  // scattering factor in F(hkl) and F(-h-k-l) is damped by exp(-B s^2),
  // s = sin(theta)/lambda, with the element's B in its structure from the
  // data directory's debye_waller.dat (across and along c where it has two);
  // B values given per element symbol ({"Ga", 0.61}, square angstroms)
  // take precedence. Neither: no damping, the results of input.dat. The
  // program sets the temperature with --temperature.
  std::optional<double> temperature_k = std::nullopt;
  std::map<std::string, double> b_factors = {};
};

// Reads the text of input.dat (line feeds; carriage returns are dropped as
// text mode drops them). Throws Error, with the message the program prints,
// when it is not a usable run description; `warnings` (if given) receives
// the warnings of reading it.
XRDCALC_API RunInput ParseRunInput(std::string_view input_text, std::vector<std::string>* warnings = nullptr);

}  // namespace xrd
