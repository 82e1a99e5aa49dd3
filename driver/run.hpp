// One run: read input.dat, compute the composite crystal in the fixed
// order, write output.dat.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "driver/warning.hpp"

namespace xrd {

// The run description: eleven numbers, the formula line and the scale.
struct RunDescription {
  std::array<double, 11> values{};  // a b c, three stored values, lambda, h k l, theta
  std::string formula;
  double scale = 0.0;
};

// Scans input.dat text. Throws Error naming the problem when the text is
// not a usable run description.
RunDescription ParseRunDescription(std::string_view text);

// The text (line feeds only) of output.dat for the sixteen result values:
// six structure-factor sums, six optical constants, a, b, c, scalar.
std::string FormatResults(const std::array<double, 16>& results);

// Computes the results of one run description with this thread's data
// files (see DataFilesScope).
std::array<double, 16> ComputeResults(const RunDescription& run);

// Computes the results with the data files of `data_directory`, each read
// once, and adds the warnings and mathematical-error messages to
// `diagnostics`. A computation during which a data file changed is done
// again, so the results come from one state of the files; throws Error on
// an orderly stop.
std::array<double, 16> ComputeResultsFromStableData(const RunDescription& run, const std::string& data_directory,
                                                    Diagnostics& diagnostics);

// The whole program in the working directory. Throws Error on unusable
// input or an output.dat that cannot be written.
void RunProgram();

}  // namespace xrd
