// One run of the program: input.dat in, output.dat out, in the working
// directory; and the computation it shares with the library's calculator.
#pragma once

#include <array>

#include "runtime/data_files.hpp"
#include "runtime/warning.hpp"
#include "xrdcalc/calculator.hpp"

namespace xrd {

// The sixteen values of one run description with the data files `files`;
// warnings and mathematical-error messages go to `diagnostics`. Throws
// Error on an orderly stop.
std::array<double, 16> ComputeRun(const DataFiles& files, const RunInput& run, Diagnostics& diagnostics);

// The result whose values(), in output.dat's order, are `values`.
Result ResultOf(const std::array<double, 16>& values);

// The whole program in the working directory. Throws Error on unusable
// input or an output.dat that cannot be written.
void RunProgram();

}  // namespace xrd
