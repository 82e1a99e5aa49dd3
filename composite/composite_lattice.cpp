// The composite's lattice constants when the input gives 0 0 0: the one
// structure's, or the weighted mean of the component structures' constants.
#include "composite/composite_structure.hpp"

namespace xrd {

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

}  // namespace xrd
