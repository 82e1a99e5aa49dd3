// Structure-file header reading: the title piece, "%d,%*d" and its
// symbols, "%lf,%lf" and the rest of its cell.
#include "structure/structure_header.hpp"

#include <cmath>

#include "runtime/character_class.hpp"
#include "runtime/number_format.hpp"
#include "runtime/printable.hpp"
#include "runtime/text_scanner.hpp"

namespace xrd {

namespace {

// ",Ga,N" up to the end of line 2 (carriage returns and blanks at its end
// allowed) into `header`; false when it is not one symbol per element.
bool ReadSymbols(std::string_view list, StructureHeader& header) {
  while (!list.empty() && (list.back() == '\r' || list.back() == ' ' || list.back() == '\t')) list.remove_suffix(1);
  int count = 0;
  while (!list.empty()) {
    if (list.front() != ',' || count == 2) return false;
    list.remove_prefix(1);
    std::size_t length = 0;
    if (length < list.size() && IsUpperLetter(list[length])) ++length;
    if (length == 1 && length < list.size() && IsLowerLetter(list[length])) ++length;
    if (length == 0) return false;
    header.symbols[count++] = std::string(list.substr(0, length));
    list.remove_prefix(length);
  }
  header.symbol_count = count;
  return count == header.element_count;
}

}  // namespace

std::optional<StructureHeader> ReadStructureHeader(std::string_view text, std::string* problem) {
  StructureHeader header;
  TextScanner scanner(text);
  std::string_view title;
  scanner.ReadPiece(title);
  if (scanner.Scan("%d,%*d", &header.element_count) != 1 || !scanner.last_scan_complete()) {
    *problem = "line 2 is not \"element count,number\"";
    return std::nullopt;
  }
  if (scanner.rest().starts_with(',')) {
    const std::string_view rest = scanner.rest();
    const std::string_view list = rest.substr(0, rest.find('\n'));
    if (!ReadSymbols(list, header)) {
      *problem = "line 2 names the elements " + Quote(std::string(list.substr(1))) +
                 ", not one symbol per element (\"2,186,Ga,N\")";
      return std::nullopt;
    }
    scanner.Seek(scanner.position() + list.size());
  }
  if (scanner.Scan("%lf,%lf", &header.lattice_angstrom, &header.structure_scalar) != 2) {
    *problem = "line 3 is not \"lattice constant,structure scalar\"";
    return std::nullopt;
  }
  if (header.element_count < 1 || header.element_count > 2) {
    *problem = "element count " + std::to_string(header.element_count) + " on line 2 is not 1 or 2";
    return std::nullopt;
  }
  if (!(header.lattice_angstrom > 0.0) || std::isinf(header.lattice_angstrom)) {
    *problem = "the lattice constant " + FormatG(header.lattice_angstrom) +
               " on line 3 is not a positive, finite number of angstroms";
    return std::nullopt;
  }
  UnitCell& cell = header.cell;
  cell.a = cell.b = cell.c = header.lattice_angstrom;
  if (scanner.rest().starts_with(',')) {
    if (scanner.Scan(",%lf,%lf,%lf,%lf,%lf", &cell.b, &cell.c, &cell.alpha, &cell.beta, &cell.gamma) != 5) {
      *problem = "line 3 goes on after the structure scalar, but not with \",b,c,alpha,beta,gamma\"";
      return std::nullopt;
    }
    if (const std::string no_cell = CellProblem(cell); !no_cell.empty()) {
      *problem = "line 3 gives no cell: " + no_cell;
      return std::nullopt;
    }
    header.orthogonal = cell.IsOrthogonal();
  }
  return header;
}

}  // namespace xrd
