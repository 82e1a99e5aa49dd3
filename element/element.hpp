// One chemical element of a crystal structure: its form factor f0, its
// anomalous factors f1 and f2, and its partial structure factors F(hkl) and
// F(-h-k-l) summed over its sites in the structure file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "element/chemical_symbol.hpp"
#include "element/structure_factor_sums.hpp"
#include "thermal/debye_waller_factor.hpp"

namespace xrd {

// Reads its data files through the thread's current data files
// (DataFilesScope); warnings and mathematical errors go to the thread's
// diagnostics.
class TElement {
 public:
  // The symbol text's first two characters become the symbol; a one-letter
  // text gives the character of code 0 as the second.
  TElement(double lambda, double h, double k, double l, double theta, std::string file_name,
           std::string_view symbol_text);

  // Computes the six sums: f1 and f2 once, f0 at s = 0 and at
  // s = sin(theta)/lambda, and the sum over the sites of the structure file
  // (each table record and the site block read once per loaded file).
  void Calculate();

  void GetResults(double& sum_f1, double& sum_f2, double& re_f_minus, double& im_f_minus, double& re_f_plus,
                  double& im_f_plus) const;

  // f0 at s = sin(theta)/lambda in 1/angstrom, from f0_xop.dat. Throws Error
  // when the table or the element's record cannot be used.
  double FormFactorF0(double s) const;

  // f1 and f2 at the photon energy of `Lambda`, from f1f2.dat. Writes both
  // and returns true, or, for an element the table lacks, warns and writes
  // neither. Throws Error when the table or the record cannot be used.
  bool AnomalousFactors(double& f1, double& f2) const;

  std::string FileName;
  ChemicalSymbol Symbol;
  double Lambda;
  double H;
  double K;
  double L;
  double Theta;
  // The thermal vibration that damps the scattering factor in F(hkl) and
  // F(-h-k-l) (not the sums of f1 and f2), and the share of the reflection's
  // 1/d^2 along c it uses; none: no damping.
  std::optional<ThermalDisplacement> Displacement;
  double AlongCShare = 0.0;
  StructureFactorSums Sums;  // computed by Calculate
};

}  // namespace xrd
