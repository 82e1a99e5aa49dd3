// The program's run, computed again where its data files change while it
// reads them.
#include "driver/program_run.hpp"

#include <chrono>
#include <thread>

#include "driver/run_computation.hpp"
#include "driver/run_files.hpp"
#include "runtime/atomic_write.hpp"
#include "runtime/printable.hpp"
#include "runtime/text_file_contents.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

constexpr std::size_t kLargestInput = 1 << 20;
// A run whose data files change while it reads them is done again, with the
// files as they are then, this many times in all, waiting a little longer
// before each attempt for the writer to finish.
constexpr int kAttempts = 5;
constexpr int kMillisecondsBeforeRetry = 2;

// The run's results with the data files of `data_directory`, each read once.
// A computation during which a data file changed is done again, so the
// results come from one state of the files.
Result ComputeFromStableData(const RunInput& run, const std::string& data_directory, Diagnostics& diagnostics) {
  for (int attempt = 1;; ++attempt) {
    Diagnostics attempt_diagnostics;
    const DataFiles files(data_directory, DataFiles::Loading::MapLargeFiles);
    try {
      const Result result = ComputeRun(files, run, attempt_diagnostics);
      if (!files.ChangedSinceLoaded()) {
        diagnostics.Append(attempt_diagnostics);
        return result;
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

void RunProgram(const std::string& data_directory, std::optional<double> temperature_k) {
  std::string problem;
  std::optional<std::string> input = LoadTextFile(kInputFileName, &problem, kLargestInput);
  if (!input) throw Error(std::string("cannot read ") + kInputFileName + ": " + problem);
  Diagnostics diagnostics;
  Result result;
  try {
    std::vector<std::string> input_warnings;
    RunInput run = ParseRunInput(*input, &input_warnings);
    run.temperature_k = temperature_k;
    for (const std::string& warning : input_warnings) diagnostics.AddWarning(warning);
    result = ComputeFromStableData(run, data_directory, diagnostics);
  } catch (const Error&) {
    diagnostics.Print();
    throw;
  }
  diagnostics.Print();
  WriteTextFileAtomically(kOutputFileName, FormatOutput(result));
}

}  // namespace xrd
