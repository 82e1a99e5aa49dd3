// One crystal structure read from its structure file (Name + ".stf" in the
// data directory): title, element count, lattice constant and structure
// scalar, the lattice and Bragg-angle completion, and the totals of its one
// or two elements' sums.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "element/element.hpp"

namespace xrd {

// What the first three lines of a structure file give.
struct StructureHeader {
  int element_count = 0;
  double lattice_angstrom = 0.0;
  double structure_scalar = 0.0;
};

// Reads the header lines from structure-file text: the title (one line
// piece of at most 79 characters, discarded), "%d,%*d\n" and "%lf,%lf".
// Gives nothing when line 2 or 3 does not scan or the element count is not
// 1 or 2; `problem` then says why.
std::optional<StructureHeader> ReadStructureHeader(std::string_view text, std::string* problem);

// Up to three of `structures` whose names are closest to `name`, ignoring
// case, closest first.
std::vector<std::string> ClosestStructureNames(std::string_view name, const std::vector<std::string>& structures);

// The message for a structure without a structure file: the file sought,
// blanks or tabs at the ends of the name, and the closest structures that
// the data directory holds.
std::string MissingStructureMessage(const DataFiles& files, const std::string& name, const std::string& file_name);

// The two symbol texts of a two-element structure name: "GaAs" gives Ga and
// As, "InP" In and P, "BN" B and N. The name has at least two characters.
std::array<std::string, 2> SplitSymbols(const std::string& name);

class TStructure {
 public:
  TStructure(double a, double b, double c, double lambda, double h, double k, double l, double theta,
             std::string name);

  // Makes the elements (only the sums need them: reading the header, the
  // lattice and the scalar does not) and adds up their sums.
  void Calculate();
  void GetResults(double* sum_f1, double* sum_f2, double* re_f_minus, double* im_f_minus, double* re_f_plus,
                  double* im_f_plus) const;
  void GetLattice(double* a, double* b, double* c) const;
  void GetStructureScalar(double* scalar) const;

  // The elements that Calculate visits: slots 1 to ElementCount that exist.
  int VisitedElementCount() const;

  std::array<std::optional<TElement>, 10> Elements;  // held in place: no allocation per element
  std::string Name;
  std::string FileName;
  int ElementCount = 0;
  double Lambda;
  double H;
  double K;
  double L;
  double A;
  double B;
  double C;
  double StructureScalar = 0.0;
  double Theta;
  double SumF1 = 0.0;
  double SumF2 = 0.0;
  double ReFMinus = 0.0;
  double ImFMinus = 0.0;
  double ReFPlus = 0.0;
  double ImFPlus = 0.0;

 private:
  void DeriveBraggAngle();
  void CreateElements();
};

}  // namespace xrd
