// Runs a copy of the built program in a scratch directory: <dir>/bin holds
// the executable and its Base/ data directory, <dir>/work is the working
// directory with input.dat and output.dat.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace xrd::testing {

struct RunResult {
  int exit_status = -1;
  std::string error_output, standard_output;
  std::optional<std::string> output;  // the bytes of output.dat, if any
};

class ProgramRunner {
 public:
  // Copies the executable and `base_directory` (linked instead when
  // `link_base` is true) into a fresh scratch directory.
  explicit ProgramRunner(const std::filesystem::path& base_directory, bool link_base = false);
  ~ProgramRunner();
  ProgramRunner(const ProgramRunner&) = delete;
  ProgramRunner& operator=(const ProgramRunner&) = delete;

  // Writes `input` (as bytes) to input.dat unless it is nullopt, runs the
  // program through `executable` (default: the copy) with `arguments` and
  // collects results.
  RunResult Run(const std::optional<std::string>& input, const std::filesystem::path& executable = {},
                const std::string& arguments = "");
  // Run, with the output.dat of an earlier run in place, expected to end
  // within a second (five under the sanitizers) with `exit_status` and
  // exactly `messages` on standard error ("<base>" standing for base()): a
  // stop leaves no output.dat, a result one of eighteen lines.
  RunResult Expect(const std::optional<std::string>& input, int exit_status, std::string messages,
                   const std::string& arguments = "", const std::filesystem::path& executable = {});
  // A script that runs the copy in a mount namespace of its own, with a tmpfs
  // over `hidden` ("/proc", "/proc/$$/fd") and the shell commands `more`
  // first; empty where this machine has no mount namespaces.
  std::filesystem::path WithoutProc(const std::string& hidden, const std::string& more = "") const;
  std::vector<std::string> Names() const;  // in the working directory, sorted

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path work() const { return root_ / "work"; }
  std::filesystem::path executable() const { return root_ / "bin" / "xrdcalc"; }
  std::filesystem::path base() const { return root_ / "bin" / "Base"; }

 private:
  std::filesystem::path root_;
};

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
// The lines of output.dat, each of which must end in CR LF.
std::vector<std::string> LinesOf(std::string output);

}  // namespace xrd::testing
