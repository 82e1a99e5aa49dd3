// One run description through the composite crystal's steps in the
// program's order: the computation that the program and the library share,
// so that both give the same bits.
#pragma once

#include <string>

#include "runtime/data_files.hpp"
#include "runtime/diagnostics.hpp"
#include "xrdcalc/result.hpp"
#include "xrdcalc/run_input.hpp"

namespace xrd {

// What makes a run description unusable before any data is read: a
// wavelength that is not a positive, finite number, or a lattice that is
// neither 0 0 0 nor three positive, finite numbers. Empty when it is usable.
std::string RunInputProblem(const RunInput& run);

// The results of `run` with the data files `files`; warnings and
// mathematical-error messages go to `diagnostics`. Throws Error on an
// orderly stop (RunInputProblem included).
Result ComputeRun(const DataFiles& files, const RunInput& run, Diagnostics& diagnostics);

}  // namespace xrd
