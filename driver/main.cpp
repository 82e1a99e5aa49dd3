// xrdcalc entry point: runs input.dat -> output.dat in the working directory.
// --help, --version and --list tell about the program and its data; every
// other argument is ignored. On an orderly stop the message goes to
// standard error, a stale output.dat is removed and the exit status is 1.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "runtime/data_files.hpp"
#include "driver/data_listing.hpp"
#include "xrdcalc/error.hpp"
#include "driver/run.hpp"

namespace {

// The first argument that names something to tell, or nothing.
std::string_view RequestedInformation(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "--version" || argument == "--list") return argument;
  }
  return {};
}

int Tell(std::string_view what) {
  const xrd::DataFiles files(xrd::DataDirectory());
  std::string text;
  if (what == "--help") text = xrd::UsageText(files.directory());
  if (what == "--version") text = xrd::VersionText(files);
  if (what == "--list") text = xrd::ListingText(files);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

void RemoveStaleOutput(std::string& message) {
  if (unlink("output.dat") == 0 || errno == ENOENT) return;
  const int reason = errno;
  // A read-only directory refuses the unlink even where no output.dat is.
  struct stat info {};
  if (lstat("output.dat", &info) != 0 && errno == ENOENT) return;
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
    if (!requested.empty()) return Tell(requested);
    xrd::RunProgram();
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
