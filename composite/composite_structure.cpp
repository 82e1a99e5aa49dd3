// TCompositeStructure: construction, the digit check, the formula parser,
// the structure-factor sums, the lattice, the optical constants, the
// structure scalar and the getters. Each weighted mean is formed as
// (w * value) / total and added to a running double.
#include "composite/composite_structure.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "composite/optical_constants.hpp"
#include "runtime/character_class.hpp"
#include "runtime/number_format.hpp"
#include "runtime/printable.hpp"
#include "runtime/whole_number.hpp"
#include "structure/unit_cell.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

// The parser compares character codes as signed 8-bit values: bytes from
// 128 on are neither letters nor digits, and none of them is above '9'.
constexpr signed char kLastDigitCode = '9';

// What a weight with a decimal point is told: the formula's weights are
// whole numbers; real fractions are the library's.
std::string DecimalWeightHint(const std::string& digits) {
  if (digits.find('.') == std::string::npos) return {};
  return "; a formula's weights are whole numbers (Ga7In3As is 0.7 GaAs and 0.3 InAs), real fractions are for "
         "the library and the Python module";
}

}  // namespace

TCompositeStructure::TCompositeStructure(double a, double b, double c, double input_value4, double input_value5,
                                         double input_value6, double lambda, double h, double k, double l,
                                         double theta, std::string formula, double scale)
    : Formula(std::move(formula)),
      Lambda(lambda),
      H(h),
      K(k),
      L(l),
      A(a),
      B(b),
      C(c),
      InputValue4(input_value4),
      InputValue5(input_value5),
      InputValue6(input_value6),
      Theta(theta),
      Scale(scale) {
  CheckDigits();
}

void TCompositeStructure::CheckDigits() {
  HasDigits = Formula.find_first_of("0123456789") != std::string::npos ? 1 : 0;
}

// Each upper-case letter starts a component, its first digit starts its
// digit text, and a last component without digits is the partner joined to
// every other name.
void TCompositeStructure::ParseFormula() {
  auto fail = [&](const std::string& what) { throw Error("formula " + Quote(Formula) + ": " + what); };
  int j = -1;
  bool in_digits = false;
  for (char c : Formula) {
    if (IsUpperLetter(c)) {
      if (j + 1 == kMaxComponents) fail("more than " + std::to_string(kMaxComponents) + " components");
      ++j;
      Components[j].Name.clear();
      Components[j].Digits.clear();
      in_digits = false;
    }
    if (IsDigit(c)) in_digits = true;
    if (j < 0) fail("a formula with digits begins with an upper-case letter, not " + Quote(std::string(1, c)));
    (in_digits ? Components[j].Digits : Components[j].Name).push_back(c);
  }
  ComponentCount = j;
  if (static_cast<signed char>(Formula.back()) > kLastDigitCode) DigitlessIndex = j;
  if (DigitlessIndex == kNoPartner) ComponentCount = ComponentCount + 1;

  std::int64_t total = 0;
  DigitsTotal = 0;
  for (int i = 0; i < ComponentCount; ++i) {
    if (!IsVisited(i)) continue;
    try {
      Weights[i] = StrToInt(Components[i].Digits);
      total += Weights[i];
    } catch (const Error& error) {
      fail("weight of component " + Quote(Components[i].Name) + ": " + error.what() +
           DecimalWeightHint(Components[i].Digits));
    }
    if (total > std::numeric_limits<std::int32_t>::max()) fail("the weights add up to more than 2147483647");
    DigitsTotal = static_cast<int>(total);
  }
  if (DigitsTotal == 0) fail("the weights add up to 0");
  WeightTotal = static_cast<double>(DigitsTotal);
  Parsed = 1;
}

void TCompositeStructure::SetMix(const std::vector<MixComponent>& mix) {
  const auto count = static_cast<int>(mix.size());
  if (count == 0) throw Error("the mix has no components");
  if (count > kMaxComponents) {
    throw Error("the mix has " + std::to_string(count) + " components; at most " + std::to_string(kMaxComponents));
  }
  double total = 0.0;
  for (int i = 0; i < count; ++i) {
    const double weight = mix[i].weight;
    if (!(weight >= 0.0 && std::isfinite(weight))) {
      throw Error("the weight of " + Quote(mix[i].structure) + " in the mix is " + FormatG(weight) +
                  "; weights are finite numbers from 0 on");
    }
    Components[i].Name = mix[i].structure;
    Components[i].Digits.clear();
    Weights[i] = weight;
    total += weight;
  }
  if (total == 0.0) throw Error("the weights of the mix add up to 0");
  if (!std::isfinite(total)) throw Error("the weights of the mix add up to more than the largest number");
  ComponentCount = count;
  DigitlessIndex = kNoPartner;
  WeightTotal = total;
  HasDigits = 1;
  Parsed = 1;
}

std::string TCompositeStructure::StructureNameOf(int index) const {
  if (!HasPartner()) return Components[index].Name;
  return Components[index].Name + Components[DigitlessIndex].Name;
}

void TCompositeStructure::AccumulateWeighted(double& field, int index, double value) const {
  field = (WeightOf(index) * value) / WeightTotal + field;
}

void TCompositeStructure::NewStructure(double a, double b, double c, std::string name) {
  Structure.emplace(a, b, c, Lambda, H, K, L, Theta, std::move(name));
  Structure->Vibration = &Vibration;
}

void TCompositeStructure::CheckReflectionInReach() const {
  if (!RefuseUnreachable || Theta != 0.0) return;
  const TStructure& s = *Structure;
  // The derived angle is NaN exactly where sin theta = lambda / 2d exceeds 1.
  if (!std::isnan(s.Theta)) return;
  const double inverse_squared_spacing = InverseSquaredSpacing(s.H, s.K, s.L, s.Cell());
  const double d = 1.0 / std::sqrt(inverse_squared_spacing);
  throw Error("the reflection " + FormatG(s.H) + " " + FormatG(s.K) + " " + FormatG(s.L) + " of " + s.Name +
              " is out of reach at a wavelength of " + FormatG(s.Lambda) + " angstrom: its spacing d is " +
              FormatG(d) + " angstrom, and the wavelength must be at most 2d = " + FormatG(2.0 * d) + " angstrom");
}

bool TCompositeStructure::KeepAngles(int index, bool first) {
  const TStructure& s = *Structure;
  ComponentAngles[index] = {s.Alpha, s.Beta, s.Gamma};
  if (first) {
    Alpha = s.Alpha;
    Beta = s.Beta;
    Gamma = s.Gamma;
    Orthogonal = s.Orthogonal;
    FirstCellIndex = index;
    return false;
  }
  if (s.Alpha == Alpha && s.Beta == Beta && s.Gamma == Gamma) return false;
  const CellKind kind = KindOf(s.Cell());
  const CellKind first_kind = KindOf({1.0, 1.0, 1.0, Alpha, Beta, Gamma});
  if (kind != first_kind) {
    const std::string mix = Formula.empty() ? std::string("the mix") : "formula " + Quote(Formula);
    throw Error(mix + ": the cells of " + StructureNameOf(FirstCellIndex) + " (" + CellKindName(first_kind) +
                ") and " + s.Name + " (" + CellKindName(kind) +
                ") are of different kinds; the structures of a mix must have cells of one kind");
  }
  return true;
}

void TCompositeStructure::WeighAngles() {
  Alpha = Beta = Gamma = 0.0;
  for (int i = 0; i < ComponentCount; ++i) {
    if (!IsVisited(i)) continue;
    AccumulateWeighted(Alpha, i, ComponentAngles[i][0]);
    AccumulateWeighted(Beta, i, ComponentAngles[i][1]);
    AccumulateWeighted(Gamma, i, ComponentAngles[i][2]);
  }
}

void TCompositeStructure::NoteElements() {
  if (!Vibration.b_factors || Vibration.b_factors->empty()) return;
  const TStructure& s = *Structure;
  for (int slot = 0; slot < s.VisitedElementCount(); ++slot) ElementsSeen.push_back(s.Elements[slot]->Symbol.ToString());
}

void TCompositeStructure::CheckGivenBFactorsUsed() const {
  if (!Vibration.b_factors || Vibration.b_factors_shared) return;
  for (const auto& given : *Vibration.b_factors) {
    if (std::find(ElementsSeen.begin(), ElementsSeen.end(), given.first) != ElementsSeen.end()) continue;
    const std::string run = Formula.empty() ? std::string("the mix") : Quote(Formula);
    throw Error("a B factor is given for " + given.first + ", which is not an element of " + run);
  }
}

void TCompositeStructure::ComputeStructureFactors() {
  if (HasDigits == 0) {
    ComponentCount = 1;
    NewStructure(A, B, C, Formula);
    CheckReflectionInReach();
    Alpha = Structure->Alpha;
    Beta = Structure->Beta;
    Gamma = Structure->Gamma;
    Orthogonal = Structure->Orthogonal;
    Structure->Calculate();
    NoteElements();
    Structure->GetResults(&StructureFactors[0], &StructureFactors[1], &StructureFactors[2], &StructureFactors[3],
                          &StructureFactors[4], &StructureFactors[5]);
  } else {
    if (Parsed == 0) ParseFormula();
    bool angles_differ = false;
    bool first = true;
    for (int i = 0; i < ComponentCount; ++i) {
      if (!IsVisited(i)) continue;
      NewStructure(A, B, C, StructureNameOf(i));
      CheckReflectionInReach();
      angles_differ = KeepAngles(i, first) || angles_differ;
      first = false;
      Structure->Calculate();
      NoteElements();
      double r[6];
      Structure->GetResults(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
      for (int k = 0; k < 6; ++k) AccumulateWeighted(StructureFactors[k], i, r[k]);
      Structure.reset();
    }
    // Angles that all components share stay exactly as they are.
    if (angles_differ) WeighAngles();
  }
  CheckGivenBFactorsUsed();
  FactorsDone = 1;
}

// With 0 0 0 as input lattice: the one structure's constants, or the
// weighted mean of the component structures' constants.
void TCompositeStructure::ComputeLattice() {
  if (A != 0.0 || B != 0.0 || C != 0.0) return;
  if (HasDigits == 0) {
    ComponentCount = 1;
    NewStructure(A, B, C, Formula);
    Structure->GetLattice(&A, &B, &C);
    return;
  }
  if (Parsed == 0) ParseFormula();
  for (int i = 0; i < ComponentCount; ++i) {
    if (!IsVisited(i)) continue;
    NewStructure(0.0, 0.0, 0.0, StructureNameOf(i));
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
    Structure->GetLattice(&a, &b, &c);
    AccumulateWeighted(A, i, a);
    AccumulateWeighted(B, i, b);
    AccumulateWeighted(C, i, c);
    Structure.reset();
  }
}

// The six sums times Gamma and the scale; the first negated.
void TCompositeStructure::ComputeOpticalConstants() {
  if (FactorsDone == 0) ComputeStructureFactors();  // which sets the angles
  ComputeLattice();
  // The orthogonal volume on the members themselves (see TStructure::DeriveBraggAngle).
  const double volume = Orthogonal ? (A * B) * C : CellVolume(UnitCell{A, B, C, Alpha, Beta, Gamma});
  const double gamma = SusceptibilityFactor(Lambda, volume);
  OpticalConstants[0] = (-StructureFactors[0] * gamma) * Scale;
  for (int i = 1; i < 6; ++i) OpticalConstants[i] = (StructureFactors[i] * gamma) * Scale;
}

void TCompositeStructure::ComputeStructureScalar() {
  if (HasDigits == 0) {
    if (Structure) Structure->GetStructureScalar(&StructureScalar);
    return;
  }
  if (Parsed == 0) ParseFormula();
  for (int i = 0; i < ComponentCount; ++i) {
    if (!IsVisited(i)) continue;
    NewStructure(A, B, C, StructureNameOf(i));
    double scalar = 0.0;
    Structure->GetStructureScalar(&scalar);
    AccumulateWeighted(StructureScalar, i, scalar);
    Structure.reset();
  }
}

void TCompositeStructure::GetStructureFactors(double* s0, double* s1, double* s2, double* s3, double* s4,
                                              double* s5) const {
  *s0 = StructureFactors[0];
  *s1 = StructureFactors[1];
  *s2 = StructureFactors[2];
  *s3 = StructureFactors[3];
  *s4 = StructureFactors[4];
  *s5 = StructureFactors[5];
}

void TCompositeStructure::GetOpticalConstants(double* o0, double* o1, double* o2, double* o3, double* o4,
                                              double* o5) const {
  *o0 = OpticalConstants[0];
  *o1 = OpticalConstants[1];
  *o2 = OpticalConstants[2];
  *o3 = OpticalConstants[3];
  *o4 = OpticalConstants[4];
  *o5 = OpticalConstants[5];
}

void TCompositeStructure::GetLattice(double* a, double* b, double* c) const {
  *a = A;
  *b = B;
  *c = C;
}

void TCompositeStructure::GetAngles(double* alpha, double* beta, double* gamma) const {
  *alpha = Alpha;
  *beta = Beta;
  *gamma = Gamma;
}

void TCompositeStructure::GetStructureScalar(double* scalar) const { *scalar = StructureScalar; }

}  // namespace xrd
