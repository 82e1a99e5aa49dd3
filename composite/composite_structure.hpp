// The composite crystal of one run: the run's inputs, the formula and its
// components with their stoichiometric weights, and every result that
// output.dat shows. A formula without digits names one structure; a formula
// with digits is a weighted mix, optionally with a partner component; a mix
// may also be given as structures with real weights.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "composite/names_and_digits.hpp"
#include "structure/structure.hpp"
#include "xrdcalc/run_input.hpp"

namespace xrd {

inline constexpr int kMaxComponents = 10;
inline constexpr int kNoPartner = 11;

// The structures it creates read their data through the thread's current
// data files (DataFilesScope).
class TCompositeStructure {
 public:
  TCompositeStructure(double a, double b, double c, double input_value4, double input_value5, double input_value6,
                      double lambda, double h, double k, double l, double theta, std::string formula, double scale);

  void CheckDigits();
  void ParseFormula();
  // In place of the formula: the mix `mix`, its weights divided by their
  // sum. Throws Error for no components, more than kMaxComponents, or a
  // weight that is negative or not finite, or weights adding up to 0 or
  // beyond the largest double.
  void SetMix(const std::vector<MixComponent>& mix);

  void ComputeStructureFactors();
  void ComputeLattice();
  void ComputeOpticalConstants();
  void ComputeStructureScalar();

  void GetStructureFactors(double* s0, double* s1, double* s2, double* s3, double* s4, double* s5) const;
  void GetOpticalConstants(double* o0, double* o1, double* o2, double* o3, double* o4, double* o5) const;
  void GetLattice(double* a, double* b, double* c) const;
  void GetAngles(double* alpha, double* beta, double* gamma) const;
  void GetStructureScalar(double* scalar) const;

  std::optional<TStructure> Structure;  // held in place: no allocation per structure
  std::string Formula;
  std::array<NamesAndDigits, kMaxComponents> Components;
  int ComponentCount = 0;
  int DigitlessIndex = kNoPartner;
  double Lambda;
  double H;
  double K;
  double L;
  double A;
  double B;
  double C;
  double InputValue4;
  double InputValue5;
  double InputValue6;
  // The cell's angles in degrees: the structure's, or for a mix the
  // components' (which must be of one kind of cell), weighted where they
  // differ. Set with the structure factors.
  double Alpha = 90.0;
  double Beta = 90.0;
  double Gamma = 90.0;
  int FirstCellIndex = 0;  // the mix's first structure, named where a cell of another kind joins
  // Each visited component's angles, written before they are read.
  std::array<std::array<double, 3>, kMaxComponents> ComponentAngles;
  bool Orthogonal = true;  // the angles are all 90 degrees
  double StructureScalar = 0.0;
  double Theta;
  double Scale;
  std::array<double, 6> StructureFactors{};
  std::array<double, 6> OpticalConstants{};
  int HasDigits = 0;
  int DigitsTotal = 0;
  std::array<double, kMaxComponents> Weights{};  // StrToInt of each weighted component's digits, or a mix's weight
  double WeightTotal = 0.0;                      // DigitsTotal, or the sum of a mix's weights
  int Parsed = 0;
  int FactorsDone = 0;
  // Stop with an Error, rather than compute with a NaN angle, where the
  // reflection of a structure lies beyond 2 theta = 180 degrees.
  bool RefuseUnreachable = false;
  // The atoms' thermal vibration, which each structure applies to its own
  // elements; inactive by default.
  ThermalVibration Vibration;
  // The elements of the structures computed, noted where B factors are given.
  std::vector<std::string> ElementsSeen;

 private:
  bool HasPartner() const { return DigitlessIndex < kNoPartner; }
  bool IsVisited(int index) const { return index != DigitlessIndex; }
  std::string StructureNameOf(int index) const;
  double WeightOf(int index) const { return Weights[index]; }
  // (w * value) / WeightTotal + field, in floating point.
  void AccumulateWeighted(double& field, int index, double value) const;
  void NewStructure(double a, double b, double c, std::string name);
  void CheckReflectionInReach() const;
  // Keeps the angles of the structure just made, component `index` of a
  // mix; true where they differ from the first component's, whose kind of
  // cell they must share.
  bool KeepAngles(int index, bool first);
  // The weighted mean of the components' angles.
  void WeighAngles();
  // Notes the elements of the structure just computed, for the check that
  // every element given a B factor is one of the run's.
  void NoteElements();
  void CheckGivenBFactorsUsed() const;
};

}  // namespace xrd
