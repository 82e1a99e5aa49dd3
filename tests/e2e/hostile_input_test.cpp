// Hostile input.dat contents and broken data directories: every run ends
// quickly, in an orderly stop or with a defined output.dat, and never
// opens a file outside Base/.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "tests/e2e/program_runner.hpp"

namespace xrd::testing {
namespace {

namespace fs = std::filesystem;

#ifdef XRDCALC_SANITIZED
constexpr double kSecondsAllowed = 5.0;  // the sanitizers slow every run down
#else
constexpr double kSecondsAllowed = 1.0;
#endif

std::string Input(const std::string& numbers, const std::string& formula) {
  return numbers + "\n" + formula + "\n1\n";
}
const std::string kNumbers = "0 0 0\n0 0 0\n1.5405929\n0 0 4\n30";

struct Outcome {
  int exit_status;
  const char* in_error_output;  // a text the standard error must hold ("" for none)
};

class HostileTest : public ::testing::Test {
 protected:
  ProgramRunner runner_{TEST_DATA_BASE};
  fs::path Base() const { return runner_.root() / "bin" / "Base"; }

  RunResult TimedRun(const std::string& input) {
    const auto start = std::chrono::steady_clock::now();
    RunResult run = runner_.Run(input);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, kSecondsAllowed);
    return run;
  }

  void Expect(const std::string& input, Outcome outcome) {
    const RunResult run = TimedRun(input);
    EXPECT_EQ(run.exit_status, outcome.exit_status) << run.error_output.substr(0, 300);
    EXPECT_NE(run.error_output.find(outcome.in_error_output), std::string::npos) << run.error_output.substr(0, 300);
    EXPECT_LT(run.error_output.size(), 4000u) << "messages quote long texts in full";
    if (outcome.exit_status == 0) {
      ASSERT_TRUE(run.output);
      EXPECT_EQ(std::count(run.output->begin(), run.output->end(), '\n'), 18);
    } else {
      EXPECT_FALSE(run.output);
    }
  }
};

TEST_F(HostileTest, HostileFormulas) {
  const std::string megabyte(1 << 20, 'a');
  const std::string nul_formula("Ga\0As", 5);
  struct Case {
    std::string formula;
    Outcome outcome;
  } cases[] = {
      {nul_formula, {0, "holds '/', '\\' or a NUL byte; not opened"}},
      {"Ga\xff\xfe" "As", {0, "cannot open"}},
      {"Ga\xff" "7In3As", {0, "cannot open"}},
      {"G" + megabyte, {0, "cannot open"}},
      {"G" + megabyte + "7", {0, "cannot open"}},
      {std::string(1 << 20, 'A') + "1", {1, "more than 10 components"}},
      {"../../etc/passwd", {0, "not opened"}},
      {"..\\x", {0, "not opened"}},
      {"..", {0, "cannot open"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.formula.substr(0, 40));
    Expect(Input(kNumbers, c.formula), c.outcome);
  }
}

TEST_F(HostileTest, HostileNumbers) {
  struct Case {
    std::string input;
    Outcome outcome;
    std::vector<std::pair<int, std::string>> lines;  // 0-based line, expected text
  } cases[] = {
      {Input("nan inf 0x1p2\n0 0 0\n1.54\n0 0 4\n30", "GaAs"), {0, ""}, {{13, "+NAN"}, {14, "+INF"}, {15, "4.000000"}}},
      {Input("-5 -5 -5\n0 0 0\n1.54\n0 0 4\n0", "GaAs"), {0, ""}, {{13, "-5"}, {15, "-5.000000"}}},
      {Input("0 0 0\n0 0 0\n0\n0 0 4\n0", "GaAs"), {0, ""}, {}},
      {Input("0 0 0\n0 0 0\n-1.54\n0 0 4\n0", "GaAs"), {0, "below the table's first row"}, {}},
      {Input("0 0 0\n0 0 0\n1.54\n1e300 1e300 1e300\n30", "GaAs"), {0, ""}, {}},
      {Input("0 0 0\n0 0 0\n1.54\n1e300 1e300 1e300\n0", "GaAs"), {0, "asin: DOMAIN error"}, {}},
      {Input("0 0 0\n0 0 0\n1.54\n0 0 4\n90", "GaAs"), {0, ""}, {}},
      {Input("0 0 0\n0 0 0\n1.54\n0 0 4\n1e20", "GaAs"), {0, ""}, {}},
      {Input("0 0 0\n0 0 0\n1.54\n0 0 4\n1e400", "Ga7In3As"), {0, ""}, {}},
      {"0 0 0\n0 0 0\n1.54\n0 0 4\n0\nGa\x1a" "As\n1\n", {1, "ends before the line feed that ends the formula line"}, {}},
      {"0 0 0\n0 0 0\n1.54\n0 0\x1a 4\n0\nGaAs\n1\n", {1, "the index l (number 10 of 11)"}, {}},
      {Input("0x 0 0\n0 0 0\n1.54\n0 0 4\n0", "GaAs"), {1, "lattice constant a (number 1 of 11)"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input.substr(0, 60));
    Expect(c.input, c.outcome);
    if (c.lines.empty()) continue;
    const RunResult run = runner_.Run(c.input);
    ASSERT_TRUE(run.output);
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = run.output->find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(run.output->substr(start, end - start));
    }
    for (const auto& [line, text] : c.lines) EXPECT_EQ(lines.at(line), text) << line;
  }
}

TEST_F(HostileTest, BrokenDataFiles) {
  const std::string input = Input(kNumbers, "GaAs");
  // Empty tables, then an empty structure file.
  for (const char* name : {"f0_xop.dat", "f1f2.dat"}) WriteBytes(Base() / name, "");
  Expect(input, {0, "f0_xop.dat: element Ga: no record for the element"});
  Expect(input, {0, "f1f2.dat: element As: no record for the element"});
  const std::string structure = ReadBytes(Base() / "GaAs.stf");
  WriteBytes(Base() / "GaAs.stf", "");
  Expect(input, {0, "line 2 is not \"element count,number\""});
  WriteBytes(Base() / "GaAs.stf", structure);
  // A data file that is a directory, one that is a pipe nobody writes to,
  // and one that is a dangling link.
  fs::remove(Base() / "f1f2.dat");
  fs::create_directory(Base() / "f1f2.dat");
  Expect(input, {0, "f1f2.dat: Is a directory"});
  fs::remove(Base() / "f1f2.dat");
  ASSERT_EQ(mkfifo((Base() / "f1f2.dat").c_str(), 0644), 0);
  Expect(input, {0, "f1f2.dat: not a regular file"});
  fs::remove(Base() / "f1f2.dat");
  fs::create_symlink("/nonexistent/f1f2.dat", Base() / "f1f2.dat");
  Expect(input, {0, "f1f2.dat: No such file or directory"});
  if (geteuid() != 0) {  // root reads files whatever their mode
    WriteBytes(Base() / "f0_xop.dat", "#S  1  H\n");
    fs::permissions(Base() / "f0_xop.dat", fs::perms::none);
    Expect(input, {0, "f0_xop.dat: Permission denied"});
  }
}

TEST_F(HostileTest, DataDirectoryThatIsAFile) {
  fs::remove_all(Base());
  WriteBytes(Base(), "not a directory\n");
  Expect(Input(kNumbers, "GaAs"), {0, "Not a directory"});
}

TEST_F(HostileTest, HugeTablesAndSiteCounts) {
  // A million rows for Ga, the run's energy above all of them.
  std::string table = "#S 31  Ga\n#N 3\n";
  for (int i = 1; i <= 1000000; ++i) table += std::to_string(i / 1000.0) + " 31 0.5\n";
  table += "#S 98  Cf\n0 0 0\n";
  WriteBytes(Base() / "f1f2.dat", table);
  WriteBytes(Base() / "GaAs.stf",
             "sites past reason\n2,216\n5.0,0.3\nGa\n2147483647\n" + std::string("0, 0, 0\n") + "As\n2\n0 0 0\n0.5 0.5 0.5\n");
  const RunResult run = TimedRun(Input(kNumbers, "GaAs"));
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.error_output.find("energy 8047.") , std::string::npos) << run.error_output.substr(0, 500);
  EXPECT_NE(run.error_output.find("site count 2147483647 above 20"), std::string::npos);
  EXPECT_NE(run.error_output.find("site 2 of 2147483647 is not three numbers"), std::string::npos);
  EXPECT_NE(run.error_output.find("site 1 of 2 is not three numbers \"x, y, z\""), std::string::npos);
}

}  // namespace
}  // namespace xrd::testing
