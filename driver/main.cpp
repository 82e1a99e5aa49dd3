// xrdcalc entry point: runs input.dat -> output.dat in the working directory.
// --help, --version and --list tell about the program and its data; any
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
#include <string>
#include <string_view>

#include "driver/data_listing.hpp"
#include "driver/program_run.hpp"
#include "driver/run_files.hpp"
#include "runtime/diagnostics.hpp"
#include "runtime/executable_location.hpp"
#include "runtime/printable.hpp"
#include "xrdcalc/error.hpp"

namespace {

bool IsRequest(std::string_view argument) {
  return argument == "--help" || argument == "--version" || argument == "--list";
}

// The first argument that names something to tell, or nothing; every other
// argument draws a warning.
std::string_view RequestedInformation(int argc, char** argv) {
  std::string_view requested;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (!IsRequest(argument)) {
      xrd::Warn("argument " + xrd::Quote(argument) + " ignored: xrdcalc reads input.dat in the working directory " +
                "(see --help)");
    } else if (requested.empty()) {
      requested = argument;
    }
  }
  return requested;
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
  const std::string_view requested = RequestedInformation(argc, argv);
  std::string message;
  try {
    const std::string data_directory =
        xrd::DataDirectoryBeside(xrd::ExecutableDirectory(xrd::CluesOfThisProcess(argc > 0 ? argv[0] : nullptr)));
    if (!requested.empty()) return Tell(requested, data_directory);
    xrd::RunProgram(data_directory);
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
