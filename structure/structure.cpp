// TStructure: header reading, lattice rule, Bragg angle, element creation
// and the totals over the elements.
#include "structure/structure.hpp"

#include "driver/checked_math.hpp"
#include "driver/warning.hpp"

namespace xrd {

namespace {

constexpr double kInversePi = 0.3183098861837907;

}  // namespace

StructureHeader ReadStructureHeader(std::string_view text, std::string* problem) {
  StructureHeader header;
  TextScanner scanner(text);
  std::string_view title;
  scanner.ReadPiece(title);
  if (scanner.Scan("%d,%*d\n", &header.element_count) != 1 || !scanner.last_scan_complete()) {
    *problem = "line 2 is not \"element count,number\"";
  }
  double lattice = 0.0;
  double scalar = 0.0;
  int stored = scanner.Scan("%lf,%lf", &lattice, &scalar);
  if (stored != 2) {
    if (!problem->empty()) *problem += "; ";
    *problem += "line 3 is not \"lattice constant,structure scalar\"";
  }
  header.lattice_angstrom = lattice;
  header.structure_scalar = scalar;
  return header;
}

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
  std::string problem;
  std::optional<DataFile> file = OpenDataFile(FileName, &problem);
  if (!file) {
    Warn("structure " + Quote(Name) + ": " + problem + "; it contributes nothing");
    return;
  }
  const StructureHeader header = ReadStructureHeader(file->text, &problem);
  if (!problem.empty()) Warn(Printable(file->path) + ": " + problem + "; the values not read are 0");
  ElementCount = header.element_count;
  StructureScalar = header.structure_scalar;
  if (A == 0.0 && B == 0.0 && C == 0.0) A = B = C = header.lattice_angstrom;
  if (Theta == 0.0) DeriveBraggAngle();
  CreateElements();
}

void TStructure::DeriveBraggAngle() {
  const double s = H * H / A / A + K * K / B / B + L * L / C / C;
  const double x = math::sqrt(s) * (0.5 * Lambda);
  Theta = math::asin(x) * 180.0 * kInversePi;
}

void TStructure::CreateElements() {
  auto make_element = [&](std::string_view symbol_text) {
    return std::make_unique<TElement>(Lambda, H, K, L, Theta, FileName, symbol_text);
  };
  if (ElementCount == 2 && Name.size() >= 2) {
    const std::array<std::string, 2> symbols = SplitSymbols(Name);
    Elements[0] = make_element(symbols[0]);
    Elements[1] = make_element(symbols[1]);
    return;
  }
  if (ElementCount == 2) {
    Warn(Printable(FileName) + ": two elements declared, but the name " + Quote(Name) +
         " is too short to split; one element under the whole name");
  } else if (ElementCount > 2) {
    Warn(Printable(FileName) + ": " + std::to_string(ElementCount) +
         " elements declared; only one element, under the whole name, is computed");
  }
  Elements[0] = make_element(Name);
}

int TStructure::VisitedElementCount() const {
  int visited = 0;
  for (int slot = 0; slot < ElementCount && slot < static_cast<int>(Elements.size()); ++slot) {
    if (!Elements[slot]) break;
    visited = slot + 1;
  }
  return visited;
}

void TStructure::Calculate() {
  const int visited = VisitedElementCount();
  for (int slot = 0; slot < visited; ++slot) Elements[slot]->Calculate();
  for (int slot = 0; slot < visited; ++slot) {
    double r[6];
    Elements[slot]->GetResults(r[0], r[1], r[2], r[3], r[4], r[5]);
    SumF1 += r[0];
    SumF2 += r[1];
    ReFMinus += r[2];
    ImFMinus += r[3];
    ReFPlus += r[4];
    ImFPlus += r[5];
  }
}

void TStructure::GetResults(double* sum_f1, double* sum_f2, double* re_f_minus, double* im_f_minus,
                            double* re_f_plus, double* im_f_plus) const {
  *sum_f1 = SumF1;
  *sum_f2 = SumF2;
  *re_f_minus = ReFMinus;
  *im_f_minus = ImFMinus;
  *re_f_plus = ReFPlus;
  *im_f_plus = ImFPlus;
}

void TStructure::GetLattice(double* a, double* b, double* c) const {
  *a = A;
  *b = B;
  *c = C;
}

void TStructure::GetStructureScalar(double* scalar) const { *scalar = StructureScalar; }

}  // namespace xrd
