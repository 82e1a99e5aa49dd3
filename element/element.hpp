// One chemical element of a crystal structure: its form factor f0, its
// anomalous factors f1 and f2, and its partial structure factors F(hkl) and
// F(-h-k-l) summed over its sites in the structure file.
#pragma once

#include <string>
#include <string_view>

#include "runtime/data_files.hpp"

namespace xrd {

class TElement {
 public:
  // The symbol text's first two characters become the symbol; a one-letter
  // text gives the character of code 0 as the second.
  TElement(double lambda, double h, double k, double l, double theta, std::string file_name,
           std::string_view symbol_text);

  // Computes the six sums (reads f1f2.dat once, f0_xop.dat twice and the
  // structure file once).
  void Calculate();

  void GetResults(double& sum_f1, double& sum_f2, double& re_f_minus, double& im_f_minus, double& re_f_plus,
                  double& im_f_plus) const;

  // f0 at s = sin(theta)/lambda in 1/angstrom, from f0_xop.dat; 0 when the
  // table or the element's usable record is missing.
  double FormFactorF0(double s) const;

  // f1 and f2 at the photon energy of `Lambda`, from f1f2.dat. Writes both
  // and returns true, or writes neither and returns false.
  bool AnomalousFactors(double& f1, double& f2) const;

  std::string FileName;
  ChemicalSymbol Symbol;
  double Lambda;
  double H;
  double K;
  double L;
  double Theta;
  double SumF1 = 0.0;
  double SumF2 = 0.0;
  double ReFMinus = 0.0;
  double ImFMinus = 0.0;
  double ReFPlus = 0.0;
  double ImFPlus = 0.0;
};

ChemicalSymbol SymbolFromText(std::string_view symbol_text);

}  // namespace xrd
