// TCompositeStructure record: construction, the digit check, the getters and
// the helpers the computation steps share.
#include "composite/composite_structure.hpp"

namespace xrd {

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

std::string TCompositeStructure::StructureNameOf(int index) const {
  if (!HasPartner()) return Components[index].Name;
  return Components[index].Name + Components[DigitlessIndex].Name;
}

void TCompositeStructure::AccumulateWeighted(double& field, int index, double value) const {
  const double weight = static_cast<double>(WeightOf(index));
  field = (weight * value) / static_cast<double>(DigitsTotal) + field;
}

void TCompositeStructure::NewStructure(double a, double b, double c, std::string name) {
  Structure.emplace(a, b, c, Lambda, H, K, L, Theta, std::move(name));
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

void TCompositeStructure::GetStructureScalar(double* scalar) const { *scalar = StructureScalar; }

}  // namespace xrd
