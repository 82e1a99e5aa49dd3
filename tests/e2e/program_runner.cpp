// Scratch-directory runs of the built program for the end-to-end tests.
#include "tests/e2e/program_runner.hpp"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace xrd::testing {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> LinesOf(std::string output) {
  std::vector<std::string> lines;
  for (std::size_t end; (end = output.find("\r\n")) != std::string::npos; output.erase(0, end + 2)) {
    lines.push_back(output.substr(0, end));
  }
  if (!output.empty()) lines.push_back(output + "<no CR LF>");
  return lines;
}

ProgramRunner::ProgramRunner(const fs::path& base_directory, bool link_base) {
  std::string pattern = (fs::temp_directory_path() / "xrdcalc-e2e-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  fs::create_directories(root_ / "bin");
  fs::create_directories(root_ / "work");
  fs::copy_file(XRDCALC_EXE, executable());
  if (link_base) {
    fs::create_directory_symlink(fs::absolute(base_directory), root_ / "bin" / "Base");
  } else {
    fs::copy(base_directory, root_ / "bin" / "Base", fs::copy_options::recursive);
  }
}

ProgramRunner::~ProgramRunner() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

RunResult ProgramRunner::Run(const std::optional<std::string>& input, const fs::path& executable_path,
                             const std::string& arguments) {
  if (input) WriteBytes(work() / "input.dat", *input);
  const fs::path program = executable_path.empty() ? executable() : executable_path;
  const fs::path error_file = root_ / "stderr.txt";
  const fs::path output_file = root_ / "stdout.txt";
  const std::string command = "cd '" + work().string() + "' && '" + program.string() + "' " + arguments + " 2> '" +
                              error_file.string() + "' > '" + output_file.string() + "' < /dev/null";
  const int status = std::system(command.c_str());
  RunResult result;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.error_output = ReadBytes(error_file);
  result.standard_output = ReadBytes(output_file);
  if (fs::is_regular_file(work() / "output.dat")) result.output = ReadBytes(work() / "output.dat");
  return result;
}

}  // namespace xrd::testing
