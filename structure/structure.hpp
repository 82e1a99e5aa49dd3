// One crystal structure read from its structure file (Name + ".stf" in the
// data directory): title, element count, cell and structure scalar, the
// lattice and Bragg-angle completion, and the totals of its one or two
// elements' sums.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "element/element.hpp"
#include "structure/unit_cell.hpp"
#include "thermal/thermal_vibration.hpp"

namespace xrd {

// The two symbol texts of a two-element structure name: "GaAs" gives Ga and
// As, "InP" In and P, "BN" B and N. The name has at least two characters.
// (A structure file that names its elements on line 2 is not split.)
std::array<std::string, 2> SplitSymbols(const std::string& name);

// Reads its structure file through the thread's current data files
// (DataFilesScope).
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
  // a, b, c and the file's angles.
  UnitCell Cell() const { return {A, B, C, Alpha, Beta, Gamma}; }

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
  double Alpha = 90.0;  // the cell's angles in degrees, always the file's
  double Beta = 90.0;
  double Gamma = 90.0;
  bool Orthogonal = true;  // all three angles 90 degrees
  double StructureScalar = 0.0;
  double Theta;
  StructureFactorSums Sums;  // the elements' totals, zero until Calculate
  // The symbols line 2 of the structure file names (kept with the file), or none.
  const std::array<std::string, 2>* NamedSymbols = nullptr;
  // The run's thermal vibration, or none: no Debye-Waller factors.
  ThermalVibration* Vibration = nullptr;

 private:
  // Gives each element its thermal vibration in this structure.
  void SetVibrations(int visited);
  void DeriveBraggAngle(double a, double b, double c);
  void CreateElements();
};

}  // namespace xrd
