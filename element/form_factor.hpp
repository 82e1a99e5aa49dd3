// The atomic form factor f0(s) from the five-Gaussian Waasmaier-Kirfel
// parameters of f0_xop.dat, s = sin(theta)/lambda in 1/angstrom.
#pragma once

#include <string>
#include <string_view>

#include "driver/data_files.hpp"

namespace xrd {

// Evaluates f0 at `s` for `symbol` from the text of an f0_xop.dat table.
// Gives 0 when the element is not in the table or its record does not
// follow the layout; `problem` then says why.
double FormFactorFromTable(std::string_view table_text, ChemicalSymbol symbol, double s, std::string* problem);

}  // namespace xrd
