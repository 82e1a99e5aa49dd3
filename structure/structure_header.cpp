// Structure-file header reading: the title piece, "%d,%*d\n" and "%lf,%lf".
#include "structure/structure_header.hpp"

#include <cmath>

#include "runtime/number_format.hpp"
#include "runtime/text_scanner.hpp"

namespace xrd {

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
  if (!(header.lattice_angstrom > 0.0) || std::isinf(header.lattice_angstrom)) {
    *problem = "the lattice constant " + FormatG(header.lattice_angstrom) +
               " on line 3 is not a positive, finite number of angstroms";
    return std::nullopt;
  }
  return header;
}

}  // namespace xrd
