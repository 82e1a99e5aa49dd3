// The header of a structure file (<Name>.stf): a title line, the element
// count with the space group (and, optionally, the element symbols), and
// the lattice constant with the structure scalar (and, optionally, the
// rest of a cell that is not cubic).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "structure/unit_cell.hpp"

namespace xrd {

// What the first three lines of a structure file give.
struct StructureHeader {
  int element_count = 0;
  double lattice_angstrom = 0.0;  // a
  double structure_scalar = 0.0;
  // a, b, c and the angles: line 3's "a,scalar,b,c,alpha,beta,gamma", or
  // for "a,scalar" a cube of edge a.
  UnitCell cell;
  bool orthogonal = true;  // cell.IsOrthogonal(), kept for the computations
  // The element symbols that line 2 names after the space group
  // ("2,186,Ga,N"), in block order; none: the name is split into them.
  std::array<std::string, 2> symbols;
  int symbol_count = 0;
};

// Reads the header lines from structure-file text: the title (one line
// piece of at most 79 characters, discarded), "%d,%*d" with optionally
// ",Sym" per element to the line's end, then "%lf,%lf" with optionally
// ",%lf,%lf,%lf,%lf,%lf". Gives nothing when line 2 or 3 does not scan,
// the element count is not 1 or 2, the symbols are not one per element of
// an upper-case letter and at most one lower-case letter, the lattice
// constant is not a positive finite number, or the cell is no cell;
// `problem` then says why.
std::optional<StructureHeader> ReadStructureHeader(std::string_view text, std::string* problem);

}  // namespace xrd
