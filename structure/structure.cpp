// TStructure: header reading, lattice rule, Bragg angle, element creation
// and the totals over the elements.
#include "structure/structure.hpp"

#include <algorithm>
#include <vector>

#include "runtime/checked_math.hpp"
#include "xrdcalc/error.hpp"
#include "runtime/warning.hpp"

namespace xrd {

namespace {

constexpr double kInversePi = 0.3183098861837907;

}  // namespace

std::optional<StructureHeader> ReadStructureHeader(std::string_view text, std::string* problem) {
  StructureHeader header;
  TextScanner scanner(text);
  std::string_view title;
  scanner.ReadPiece(title);
  if (scanner.Scan("%d,%*d\n", &header.element_count) != 1 || !scanner.last_scan_complete()) {
    *problem = "line 2 is not \"element count,number\"";
    return std::nullopt;
  }
  if (scanner.Scan("%lf,%lf", &header.lattice_angstrom, &header.structure_scalar) != 2) {
    *problem = "line 3 is not \"lattice constant,structure scalar\"";
    return std::nullopt;
  }
  if (header.element_count < 1 || header.element_count > 2) {
    *problem = "element count " + std::to_string(header.element_count) + " on line 2 is not 1 or 2";
    return std::nullopt;
  }
  return header;
}

namespace {

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

std::string Lowercase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// The number of single-character insertions, deletions and substitutions
// that turn `a` into `b`.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::vector<std::string> ClosestStructureNames(std::string_view name, const std::vector<std::string>& structures) {
  const std::string wanted = Lowercase(name.substr(0, 64));
  std::vector<std::pair<std::size_t, std::string>> ranked;
  for (const std::string& structure : structures) ranked.emplace_back(EditDistance(wanted, Lowercase(structure)), structure);
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<std::string> closest;
  for (std::size_t i = 0; i < ranked.size() && i < 3; ++i) closest.push_back(ranked[i].second);
  return closest;
}

std::string MissingStructureMessage(const DataFiles& files, const std::string& name, const std::string& file_name) {
  std::string message = "structure " + Quote(name) + ": no structure file " + Printable(files.directory()) + "/" +
                        Printable(file_name);
  if (!name.empty() && (IsBlankOrTab(name.front()) || IsBlankOrTab(name.back()))) {
    message += " (the name has leading or trailing blanks or tabs, which belong to it)";
  }
  std::vector<std::string> structures;
  for (const std::string& stf : files.NamesEndingIn(".stf")) structures.push_back(stf.substr(0, stf.size() - 4));
  const std::vector<std::string> closest = ClosestStructureNames(name, structures);
  if (closest.empty()) return message + "; the data directory holds no structure files";
  message += "; closest structures:";
  for (std::size_t i = 0; i < closest.size(); ++i) message += (i ? ", " : " ") + closest[i];
  return message;
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
  const DataFiles& files = CurrentDataFiles();
  const DataFile* file = files.GetIfPresent(FileName);
  if (!file) throw Error(MissingStructureMessage(files, Name, FileName));
  const StructureHeader& header = file->Memo<StructureHeader>("header", [&] {
    std::string problem;
    std::optional<StructureHeader> read = ReadStructureHeader(file->text(), &problem);
    if (!read) throw Error(Printable(file->path()) + ": " + problem);
    return *read;
  });
  if (header.element_count == 2 && Name.size() < 2) {
    throw Error(Printable(file->path()) + ": two elements declared, but the name " + Quote(Name) +
                " is too short to split into two symbols");
  }
  ElementCount = header.element_count;
  StructureScalar = header.structure_scalar;
  if (A == 0.0 && B == 0.0 && C == 0.0) A = B = C = header.lattice_angstrom;
  if (Theta == 0.0) DeriveBraggAngle();
}

void TStructure::DeriveBraggAngle() {
  const double s = H * H / A / A + K * K / B / B + L * L / C / C;
  const double x = math::sqrt(s) * (0.5 * Lambda);
  Theta = math::asin(x) * 180.0 * kInversePi;
}

void TStructure::CreateElements() {
  auto make_element = [&](int slot, std::string_view symbol_text) {
    Elements[slot].emplace(Lambda, H, K, L, Theta, FileName, symbol_text);
  };
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

void TStructure::Calculate() {
  CreateElements();
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
