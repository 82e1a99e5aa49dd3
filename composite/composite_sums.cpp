// The composite's structure-factor sums and structure scalar: one structure
// for a formula without digits, otherwise each weighted component's
// structure in turn, mixed as (w * value) / total.
#include "composite/composite_structure.hpp"

namespace xrd {

void TCompositeStructure::ComputeStructureFactors() {
  if (HasDigits == 0) {
    ComponentCount = 1;
    NewStructure(A, B, C, Formula);
    Structure->Calculate();
    Structure->GetResults(&StructureFactors[0], &StructureFactors[1], &StructureFactors[2], &StructureFactors[3],
                          &StructureFactors[4], &StructureFactors[5]);
  } else {
    ParseFormula();
    for (int i = 0; i < ComponentCount; ++i) {
      if (!IsVisited(i)) continue;
      NewStructure(A, B, C, StructureNameOf(i));
      Structure->Calculate();
      double r[6];
      Structure->GetResults(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
      for (int k = 0; k < 6; ++k) AccumulateWeighted(StructureFactors[k], i, r[k]);
      Structure.reset();
    }
  }
  FactorsDone = 1;
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

}  // namespace xrd
