// TStructure: header reading, lattice rule, Bragg angle, element creation
// with each element's thermal vibration, and the totals over the elements.
#include "structure/structure.hpp"

#include "runtime/checked_math.hpp"
#include "runtime/data_files_scope.hpp"
#include "runtime/math_constants.hpp"
#include "runtime/printable.hpp"
#include "structure/structure_header.hpp"
#include "structure/structure_name_hints.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

std::array<std::string, 2> SplitSymbols(const std::string& name) {
  // The second character decides, compared as a signed 8-bit code with 'Z'.
  const bool two_letter_first = static_cast<signed char>(name[1]) > 90;
  const std::size_t first_length = two_letter_first ? 2 : 1;
  std::string second = first_length < name.size() ? name.substr(first_length, 2) : std::string();
  return {name.substr(0, first_length), second};
}

TStructure::TStructure(double a, double b, double c, double lambda, double h, double k, double l, double theta,
                       std::string name)
    : Name(std::move(name)), Lambda(lambda), H(h), K(k), L(l), A(a), B(b), C(c), Theta(theta) {
  FileName = Name + ".stf";
  const DataFiles& files = CurrentDataFiles();
  const DataFile* file = files.GetIfPresent(FileName);
  if (!file) throw Error(MissingStructureMessage(files, Name, FileName));
  const StructureHeader& header = file->Memo<StructureHeader>("header", [&] {
    std::string problem;
    std::optional<StructureHeader> read = ReadStructureHeader(file->text(), &problem);
    if (!read) throw Error(Printable(file->path()) + ": " + problem);
    return *read;
  });
  if (header.symbol_count > 0) {
    NamedSymbols = &header.symbols;
  } else if (header.element_count == 2 && Name.size() < 2) {
    throw Error(Printable(file->path()) + ": two elements declared, but the name " + Quote(Name) +
                " is too short to split into two symbols");
  }
  ElementCount = header.element_count;
  StructureScalar = header.structure_scalar;
  if (A == 0.0 && B == 0.0 && C == 0.0) {
    A = header.cell.a;
    B = header.cell.b;
    C = header.cell.c;
  }
  Alpha = header.cell.alpha;
  Beta = header.cell.beta;
  Gamma = header.cell.gamma;
  Orthogonal = header.orthogonal;
  if (Theta == 0.0) DeriveBraggAngle(A, B, C);
}

void TStructure::DeriveBraggAngle(double a, double b, double c) {
  // The lengths come as arguments: read back from the members just stored
  // one by one, two at a time, they would stall the computation.
  const double s = Orthogonal ? H * H / a / a + K * K / b / b + L * L / c / c
                              : ObliqueInverseSquaredSpacing(H, K, L, Cell());
  const double x = math::sqrt(s) * (0.5 * Lambda);
  Theta = math::asin(x) * 180.0 * kInversePi;
}

void TStructure::CreateElements() {
  auto make_element = [&](int slot, std::string_view symbol_text) {
    Elements[slot].emplace(Lambda, H, K, L, Theta, FileName, symbol_text);
  };
  if (NamedSymbols) {
    make_element(0, (*NamedSymbols)[0]);
    if (ElementCount == 2) make_element(1, (*NamedSymbols)[1]);
    return;
  }
  if (ElementCount == 2) {
    const std::array<std::string, 2> symbols = SplitSymbols(Name);
    make_element(0, symbols[0]);
    make_element(1, symbols[1]);
    return;
  }
  make_element(0, Name);
}

int TStructure::VisitedElementCount() const {
  int visited = 0;
  for (int slot = 0; slot < ElementCount && slot < static_cast<int>(Elements.size()); ++slot) {
    if (!Elements[slot]) break;
    visited = slot + 1;
  }
  return visited;
}

void TStructure::SetVibrations(int visited) {
  for (int slot = 0; slot < visited; ++slot) {
    TElement& element = *Elements[slot];
    element.Displacement = DisplacementOf(CurrentDataFiles(), *Vibration, Name, element.Symbol.ToString());
    if (element.Displacement->IsIsotropic()) continue;
    // B11 and B33 take c perpendicular to a and b, as in a hexagonal cell.
    if (Alpha != 90.0 || Beta != 90.0) {
      throw Error("the B of " + element.Symbol.ToString() + " in " + Name +
                  " differs across and along c, but the cell's c is not perpendicular to a and b");
    }
    const double inverse_squared_spacing =
        Orthogonal ? H * H / A / A + K * K / B / B + L * L / C / C : ObliqueInverseSquaredSpacing(H, K, L, Cell());
    element.AlongCShare = AlongCShare(L, C, inverse_squared_spacing);
  }
}

void TStructure::Calculate() {
  CreateElements();
  const int visited = VisitedElementCount();
  if (Vibration && Vibration->Active()) SetVibrations(visited);
  for (int slot = 0; slot < visited; ++slot) Elements[slot]->Calculate();
  for (int slot = 0; slot < visited; ++slot) {
    StructureFactorSums r;
    Elements[slot]->GetResults(r.SumF1, r.SumF2, r.ReFMinus, r.ImFMinus, r.ReFPlus, r.ImFPlus);
    Sums.Add(r);
  }
}

void TStructure::GetResults(double* sum_f1, double* sum_f2, double* re_f_minus, double* im_f_minus,
                            double* re_f_plus, double* im_f_plus) const {
  Sums.CopyTo(sum_f1, sum_f2, re_f_minus, im_f_minus, re_f_plus, im_f_plus);
}

void TStructure::GetLattice(double* a, double* b, double* c) const {
  *a = A;
  *b = B;
  *c = C;
}

void TStructure::GetStructureScalar(double* scalar) const { *scalar = StructureScalar; }

}  // namespace xrd
