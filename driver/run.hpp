// One run: read input.dat, compute the composite crystal in the fixed
// order, write output.dat.
#pragma once

#include <array>
#include <string>
#include <string_view>

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

// Computes the results of one run description.
std::array<double, 16> ComputeResults(const RunDescription& run);

// The whole program in the working directory. Throws Error on unusable
// input or an output.dat that cannot be written.
void RunProgram();

}  // namespace xrd
