// The program's run: read input.dat, compute with the data files beside
// the executable (again, should they change meanwhile), print the warnings
// and mathematical-error messages, write output.dat.
#include "driver/run.hpp"

#include <chrono>
#include <thread>

#include "runtime/text_file.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

constexpr const char* kInputFile = "input.dat";
constexpr const char* kOutputFile = "output.dat";
constexpr std::size_t kLargestInput = 1 << 20;
// A run whose data files change while it reads them is done again, with the
// files as they are then, this many times in all, waiting a little longer
// before each attempt for the writer to finish.
constexpr int kAttempts = 5;
constexpr int kMillisecondsBeforeRetry = 2;


// The run's values with the data files of `data_directory`, each read once.
// A computation during which a data file changed is done again, so the
// values come from one state of the files.
std::array<double, 16> ComputeFromStableData(const RunInput& run, const std::string& data_directory,
                                             Diagnostics& diagnostics) {
  for (int attempt = 1;; ++attempt) {
    Diagnostics attempt_diagnostics;
    const DataFiles files(data_directory, DataFiles::Loading::MapLargeFiles);
    try {
      const std::array<double, 16> results = ComputeRun(files, run, attempt_diagnostics);
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

}  // namespace

void RunProgram() {
  std::string problem;
  std::optional<std::string> input = LoadTextFile(kInputFile, &problem, kLargestInput);
  if (!input) throw Error(std::string("cannot read ") + kInputFile + ": " + problem);
  Diagnostics diagnostics;
  std::array<double, 16> results{};
  try {
    std::vector<std::string> input_warnings;
    const RunInput run = ParseRunInput(*input, &input_warnings);
    for (const std::string& warning : input_warnings) diagnostics.AddWarning(warning);
    results = ComputeFromStableData(run, DataDirectory(), diagnostics);
  } catch (const Error&) {
    diagnostics.Print();
    throw;
  }
  diagnostics.Print();
  WriteTextFileAtomically(kOutputFile, FormatOutput(ResultOf(results)));
}

}  // namespace xrd
