// The header of a structure file (<Name>.stf): a title line, the element
// count with a second integer, and the lattice constant with the structure
// scalar.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace xrd {

// What the first three lines of a structure file give.
struct StructureHeader {
  int element_count = 0;
  double lattice_angstrom = 0.0;
  double structure_scalar = 0.0;
};

// Reads the header lines from structure-file text: the title (one line
// piece of at most 79 characters, discarded), "%d,%*d\n" and "%lf,%lf".
// Gives nothing when line 2 or 3 does not scan, the element count is not 1
// or 2, or the lattice constant is not a positive finite number; `problem`
// then says why.
std::optional<StructureHeader> ReadStructureHeader(std::string_view text, std::string* problem);

}  // namespace xrd
