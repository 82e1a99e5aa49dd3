// xrdcalc entry point: runs input.dat -> output.dat in the working directory.
// --help, --version and --list tell about the program and its data;
// --temperature K applies the atoms' thermal vibration at K kelvin; any
// other argument is ignored with a warning. On an orderly stop the message
// goes to standard error, a stale output.dat is removed and the exit status
// is 1.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "driver/data_listing.hpp"
#include "driver/program_run.hpp"
#include "driver/run_files.hpp"
#include "runtime/c_number.hpp"
#include "runtime/diagnostics.hpp"
#include "runtime/executable_location.hpp"
#include "runtime/printable.hpp"
#include "xrdcalc/error.hpp"

namespace {

bool IsRequest(std::string_view argument) {
  return argument == "--help" || argument == "--version" || argument == "--list";
}

constexpr std::string_view kTemperatureOption = "--temperature";

struct Arguments {
  std::string_view requested;  // the first argument that names something to tell, or none
  std::optional<double> temperature_k;
  std::string problem;  // an unusable --temperature, or none
};

void ReadTemperature(std::string_view value, Arguments& arguments) {
  double temperature = 0.0;
  const std::size_t used = xrd::ConvertCNumber(value.data(), value.data() + value.size(), temperature);
  if (arguments.temperature_k) {
    arguments.problem = "--temperature is given more than once";
  } else if (value.empty() || used != value.size()) {
    arguments.problem = "--temperature needs a number of kelvin, not " + xrd::Quote(value);
  } else {
    arguments.temperature_k = temperature;
  }
}

// The requests, the temperature; every other argument draws a warning.
Arguments ReadArguments(int argc, char** argv) {
  Arguments arguments;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == kTemperatureOption) {
      ReadTemperature(i + 1 < argc ? std::string_view(argv[++i]) : std::string_view(), arguments);
    } else if (argument.starts_with(std::string(kTemperatureOption) + "=")) {
      ReadTemperature(argument.substr(kTemperatureOption.size() + 1), arguments);
    } else if (!IsRequest(argument)) {
      xrd::Warn("argument " + xrd::Quote(argument) + " ignored: xrdcalc reads input.dat in the working directory " +
                "(see --help)");
    } else if (arguments.requested.empty()) {
      arguments.requested = argument;
    }
  }
  return arguments;
}

int Tell(std::string_view what, const std::string& data_directory) {
  const xrd::DataFiles files(data_directory);
  std::string text;
  if (what == "--help") text = xrd::UsageText(files.directory());
  if (what == "--version") text = xrd::VersionText(files);
  if (what == "--list") text = xrd::ListingText(files);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

void RemoveStaleOutput(std::string& message) {
  if (unlink(xrd::kOutputFileName) == 0 || errno == ENOENT) return;
  const int reason = errno;
  // A read-only directory refuses the unlink even where no output.dat is.
  struct stat info {};
  if (lstat(xrd::kOutputFileName, &info) != 0 && errno == ENOENT) return;
  message += "; the output.dat of an earlier run could not be removed (";
  message += std::strerror(reason);
  message += ") and is not this run's result";
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes writes fail with a message instead of killing.
  std::signal(SIGXFSZ, SIG_IGN);
  const Arguments arguments = ReadArguments(argc, argv);
  const std::string_view requested = arguments.requested;
  std::string message;
  try {
    const std::string data_directory =
        xrd::DataDirectoryBeside(xrd::ExecutableDirectory(xrd::CluesOfThisProcess(argc > 0 ? argv[0] : nullptr)));
    if (!requested.empty()) return Tell(requested, data_directory);
    if (!arguments.problem.empty()) throw xrd::Error(arguments.problem);
    xrd::RunProgram(data_directory, arguments.temperature_k);
    return 0;
  } catch (const xrd::Error& error) {
    message = error.what();
  } catch (const std::bad_alloc&) {
    message = "out of memory";
  }
  if (requested.empty()) RemoveStaleOutput(message);
  std::fprintf(stderr, "xrdcalc: %s\n", message.c_str());
  return 1;
}
