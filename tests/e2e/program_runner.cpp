// Scratch-directory runs of the built program for the end-to-end tests.
#include "tests/e2e/program_runner.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
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
    fs::create_directory_symlink(fs::absolute(base_directory), base());
  } else {
    fs::copy(base_directory, base(), fs::copy_options::recursive);
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
  const std::string command = "cd '" + work().string() + "' && '" + program.string() + "' " + arguments + " 2> '" +
                              root_.string() + "/stderr.txt' > '" + root_.string() + "/stdout.txt' < /dev/null";
  const int status = std::system(command.c_str());
  RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(root_ / "stderr.txt"),
                   ReadBytes(root_ / "stdout.txt"), std::nullopt};
  if (fs::is_regular_file(work() / "output.dat")) result.output = ReadBytes(work() / "output.dat");
  return result;
}

fs::path ProgramRunner::WithoutProc(const std::string& hidden, const std::string& more) const {
  const std::string hide = "mount --make-rprivate / && mount -t tmpfs none " + hidden + " && ";
  if (std::system(("unshare -m sh -c '" + hide + "true' 2>/dev/null").c_str()) != 0) return {};
  const fs::path wrapper = root_ / "without-proc";
  WriteBytes(wrapper, "#!/bin/sh\nexec unshare -m sh -c '" + hide + more + "exec \"$0\"' '" + executable().string() +
                          "'\n");
  fs::permissions(wrapper, fs::perms::owner_all);
  return wrapper;
}

std::vector<std::string> ProgramRunner::Names() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(work())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

RunResult ProgramRunner::Expect(const std::optional<std::string>& input, int exit_status, std::string messages,
                                const std::string& arguments, const fs::path& executable_path) {
#ifdef XRDCALC_SANITIZED
  constexpr double kSecondsAllowed = 5.0;  // the sanitizers slow every run down
#else
  constexpr double kSecondsAllowed = 1.0;
#endif
  SCOPED_TRACE("arguments: " + arguments);
  for (std::size_t at; (at = messages.find("<base>")) != std::string::npos;) messages.replace(at, 6, base().string());
  WriteBytes(work() / "output.dat", "a stale result\n");
  const auto start = std::chrono::steady_clock::now();
  RunResult run = Run(input, executable_path, arguments);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), kSecondsAllowed);
  EXPECT_EQ(run.exit_status, exit_status);
  EXPECT_EQ(run.error_output, messages);
  if (exit_status == 0) {
    EXPECT_TRUE(run.output && std::count(run.output->begin(), run.output->end(), '\n') == 18);
  } else {
    EXPECT_FALSE(run.output) << "stale or partial output.dat left";
  }
  return run;
}

}  // namespace xrd::testing
