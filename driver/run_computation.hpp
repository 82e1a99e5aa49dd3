// One run description through the composite crystal's steps in the
// program's order: the computation that the program and the library share,
// so that both give the same bits.
#pragma once

#include <string>
#include <vector>

#include "runtime/data_files.hpp"
#include "runtime/diagnostics.hpp"
#include "xrdcalc/result.hpp"
#include "xrdcalc/run_input.hpp"

namespace xrd {

// What makes a run description unusable before any data is read: a
// wavelength that is not a positive, finite number, or a lattice that is
// neither 0 0 0 nor three positive, finite numbers. Empty when it is usable.
std::string RunInputProblem(const RunInput& run);

// Who computes: the program writes what the numbers give (+INF, NaN) for
// any Miller indices; the library computes reflections only, so that it
// also stops on indices that are not whole numbers and on a reflection out
// of reach at the wavelength.
enum class Computing { ForProgram, ForLibrary };

// What makes the library refuse a run description before any data is read:
// Miller indices that are not whole numbers. Empty when there is none.
std::string LibraryRunProblem(const RunInput& run);

// The results of `run` with the data files `files`; warnings and
// mathematical-error messages go to `diagnostics`. Throws Error on an
// orderly stop (RunInputProblem included, and for the library
// LibraryRunProblem and a reflection out of reach). With `stack_elements`
// the run is a material of a layer stack whose given B factors serve all
// its materials: they may name elements the run lacks, and the run's own
// elements are added to `stack_elements` (where B factors are given).
Result ComputeRun(const DataFiles& files, const RunInput& run, Diagnostics& diagnostics,
                  Computing computing = Computing::ForProgram, std::vector<std::string>* stack_elements = nullptr);

}  // namespace xrd
