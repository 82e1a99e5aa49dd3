// The run driver: exact scanning of input.dat, the calling order of the
// composite's steps, and the one formatted write of output.dat.
#include "driver/run.hpp"

#include <chrono>
#include <cmath>
#include <thread>
#include <cstring>

#include "composite/composite_structure.hpp"
#include "driver/error.hpp"
#include "driver/number_format.hpp"
#include "driver/text_file.hpp"
#include "driver/text_scanner.hpp"
#include "driver/warning.hpp"
#include "driver/data_files.hpp"

namespace xrd {

namespace {

constexpr const char* kInputFile = "input.dat";
constexpr const char* kOutputFile = "output.dat";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kLargestInput = 1 << 20;
// A run whose data files change while it reads them is done again, with the
// files as they are then, this many times in all, waiting a little longer
// before each attempt for the writer to finish.
constexpr int kAttempts = 5;
constexpr int kMillisecondsBeforeRetry = 2;
constexpr const char* kValueNames[11] = {
    "lattice constant a", "lattice constant b", "lattice constant c", "the fourth value", "the fifth value",
    "the sixth value",    "the wavelength",     "the index h",        "the index k",      "the index l",
    "the Bragg angle"};

// A short view of the text where scanning stopped, for messages.
std::string TextNear(std::string_view rest) {
  if (rest.empty()) return "the end of the file";
  std::string_view shown = rest.substr(0, std::min<std::size_t>(rest.find('\n'), 20));
  std::string near = "\"";
  near.append(shown);
  near += '"';
  return near;
}

}  // namespace

RunDescription ParseRunDescription(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  RunDescription run;
  std::array<double, 11>& v = run.values;
  TextScanner scanner(text);
  int scanned = scanner.Scan("%lf%lf%lf\n%lf%lf%lf\n%lf\n%lf%lf%lf\n%lf\n", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                             &v[6], &v[7], &v[8], &v[9], &v[10]);
  if (scanned < 11) {
    const int missing = scanned < 0 ? 0 : scanned;
    throw Error(std::string(kInputFile) + ": " + kValueNames[missing] + " (number " + std::to_string(missing + 1) +
                " of 11) is missing or malformed near " + TextNear(scanner.rest()));
  }
  const std::size_t formula_start = scanner.position();
  if (!scanner.SkipPast('\n')) {
    throw Error(std::string(kInputFile) + ": the file ends before the line feed that ends the formula line");
  }
  run.formula.assign(text.substr(formula_start, scanner.position() - 1 - formula_start));
  if (scanner.Scan("%lf", &run.scale) != 1) {
    throw Error(std::string(kInputFile) + ": the scale after the formula line is missing or malformed near " +
                TextNear(scanner.rest()));
  }
  const double lambda_angstrom = v[6];
  if (!(lambda_angstrom > 0.0) || std::isinf(lambda_angstrom)) {
    throw Error(std::string(kInputFile) + ": the wavelength (value 7) is " + FormatG(lambda_angstrom) +
                "; it must be a positive, finite number of angstroms");
  }
  const std::string_view rest = scanner.rest();
  const std::size_t extra = rest.find_first_not_of(" \t\n\v\f\r");
  if (extra != std::string_view::npos) {
    const std::string_view ignored = rest.substr(extra, rest.find_last_not_of(" \t\n\v\f\r") + 1 - extra);
    Warn(std::string(kInputFile) + ": text after the scale is ignored: " + Quote(ignored));
  }
  return run;
}

std::string FormatResults(const std::array<double, 16>& results) {
  std::string text;
  for (int i = 0; i < 12; ++i) text += FormatG(results[i]) + "\n";
  text += "\n";
  text += FormatG(results[12]) + "\n";
  text += FormatG(results[13]) + "\n";
  text += FormatF(results[14]) + "\n";
  text += "\n";
  text += FormatF(results[15]) + "\n";
  return text;
}

std::array<double, 16> ComputeResults(const RunDescription& run) {
  const std::array<double, 11>& v = run.values;
  TCompositeStructure composite(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], run.formula,
                                run.scale);
  composite.ComputeStructureFactors();
  composite.ComputeOpticalConstants();
  composite.ComputeStructureScalar();
  std::array<double, 16> r{};
  composite.GetStructureFactors(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
  composite.GetOpticalConstants(&r[6], &r[7], &r[8], &r[9], &r[10], &r[11]);
  composite.GetLattice(&r[12], &r[13], &r[14]);
  composite.GetStructureScalar(&r[15]);
  return r;
}

std::array<double, 16> ComputeResultsFromStableData(const RunDescription& run, const std::string& data_directory,
                                                    Diagnostics& diagnostics) {
  for (int attempt = 1;; ++attempt) {
    Diagnostics attempt_diagnostics;
    DiagnosticsScope diagnostics_scope(attempt_diagnostics);
    DataFiles files(data_directory);
    DataFilesScope files_scope(files);
    try {
      const std::array<double, 16> results = ComputeResults(run);
      if (!files.ChangedSinceLoaded()) {
        diagnostics.Append(attempt_diagnostics);
        return results;
      }
    } catch (const Error&) {
      if (!files.ChangedSinceLoaded()) {
        diagnostics.Append(attempt_diagnostics);
        throw;
      }
    }
    if (attempt < kAttempts) {
      std::this_thread::sleep_for(std::chrono::milliseconds(kMillisecondsBeforeRetry * attempt));
    } else {
      diagnostics.Append(attempt_diagnostics);
      throw Error("the data files in " + Printable(data_directory) + " changed while the run read them, " +
                  std::to_string(kAttempts) + " times in a row; no result");
    }
  }
}

void RunProgram() {
  std::string problem;
  std::optional<std::string> input = LoadTextFile(kInputFile, &problem, kLargestInput);
  if (!input) throw Error(std::string("cannot read ") + kInputFile + ": " + problem);
  Diagnostics diagnostics;
  std::array<double, 16> results{};
  try {
    RunDescription run;
    {
      DiagnosticsScope scope(diagnostics);
      run = ParseRunDescription(*input);
    }
    results = ComputeResultsFromStableData(run, DataDirectory(), diagnostics);
  } catch (const Error&) {
    diagnostics.Print();
    throw;
  }
  diagnostics.Print();
  WriteTextFileAtomically(kOutputFile, FormatResults(results));
}

}  // namespace xrd
