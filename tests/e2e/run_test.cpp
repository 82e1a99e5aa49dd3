// Whole runs of the built program in scratch directories: the input.dat
// layouts, the exact output.dat, values checked against a model written
// here, the orderly stops, and finding Base/ from anywhere.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "tests/e2e/program_runner.hpp"

namespace xrd::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kTestBase = TEST_DATA_BASE;

std::vector<std::string> LinesOf(const std::string& output) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(output.substr(start) + "<no CR LF>");
      break;
    }
    lines.push_back(output.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string Printed(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

const std::string kConventional = "0 0 0\n0 0 0\n1.0\n1 1 1\n30\nGaAs\n1\n";

TEST(Run, InputLayoutsGiveTheSameRun) {
  ProgramRunner runner(kTestBase);
  const RunResult reference = runner.Run(kConventional);
  ASSERT_EQ(reference.exit_status, 0) << reference.error_output;
  ASSERT_TRUE(reference.output);
  const std::string layouts[] = {
      "0 0 0 0 0 0 1.0 1 1 1 30\nGaAs\n1\n",                            // eleven numbers on one line
      "0\n0\n0\n0\n0\n0\n1.0\n1\n1\n1\n30\nGaAs\n1\n",                   // one number a line
      "0 0 0\n\n0 0 0\n\t\n1.0\n1 1 1\n30\n\n\n   \tGaAs\n\n\n1\n",       // blank lines and leading blanks
      "0 0 0\r\n0 0 0\r\n1.0\r\n1 1 1\r\n30\r\nGaAs\r\n1\r\n",            // carriage-return line ends
      "0 0 0\n0 0 0\n1.0\n1 1 1\n30 GaAs\n1",                             // the formula on the line of theta
      "0 0 0\n0 0 0\n1.0\n1 1 1\n30\nGaAs\n   1 and anything after\x1a",  // nothing after the scale is read
  };
  for (const std::string& input : layouts) {
    const RunResult run = runner.Run(input);
    EXPECT_EQ(run.exit_status, 0) << input;
    EXPECT_EQ(run.output, reference.output) << input;
  }
}

TEST(Run, AReflectionOutOfReachGoesOnWithTheMathematicalMessages) {
  ProgramRunner runner(kTestBase);
  const RunResult far = runner.Run("5.0 5.0 5.0\n0 0 0\n1.54\n0 0 8\n0\nGaAs\n1\n");
  EXPECT_EQ(far.exit_status, 0);
  EXPECT_EQ(far.error_output.substr(0, 24), "\r\nasin: DOMAIN error\r\n\r\n");
  // The NaN angle reaches exp, which reports an overflow and gives +inf.
  EXPECT_NE(far.error_output.find("\r\nexp: OVERFLOW error\r\n"), std::string::npos);
  const std::vector<std::string> far_lines = LinesOf(*far.output);
  EXPECT_EQ(far_lines[2], "+INF");
  EXPECT_TRUE(far_lines[3] == "+NAN" || far_lines[3] == "-NAN") << far_lines[3];
}

// The test tables' values, written out independently of the program.
struct ElementModel {
  double a[5], c, b[5];
  double e0, f1_0, f2_0, e1, f1_1, f2_1;  // the two f1f2 rows around 12398.1 eV
  double F0(double s) const {
    double f0 = c;
    for (int i = 0; i < 5; ++i) f0 += a[i] * std::exp((-b[i] * s) * s);
    return f0;
  }
};
const ElementModel kGa = {{10, 8, 6, 4, 2}, 1, {1, 2, 3, 4, 5}, 10367, 26, 3.8, 15000, 30, 2.0};
const ElementModel kAs = {{11, 9, 7, 3, 2}, 1, {0.5, 1, 2, 4, 8}, 10000, 31, 1.0, 15000, 33, 2.5};
const ElementModel kIn = {{20, 10, 10, 5, 3}, 1, {1, 1, 1, 1, 1}, 10000, 48, 4.0, 15000, 48.5, 2.0};

// Adds one site of `element` at (x, y, z) to the six sums.
void AddSite(const ElementModel& element, double x, double y, double z, double h, double k, double l,
             double theta_degrees, double lambda, std::array<double, 6>& sums) {
  const double energy = 12398.100046 / lambda;
  const double t = (energy - element.e0) / (element.e1 - element.e0);
  const double f1 = element.f1_0 + t * (element.f1_1 - element.f1_0);
  const double f2 = element.f2_0 + t * (element.f2_1 - element.f2_0);
  const double s = std::sin(theta_degrees * 3.141592653589793 / 180.0) / lambda;
  const double f = element.F0(s) + f1 - element.F0(0.0);
  const double phi = 2 * 3.141592653589793 * (h * x + k * y + l * z);
  sums[0] += f1;
  sums[1] += f2;
  sums[2] += f * std::cos(phi) + f2 * std::sin(phi);
  sums[3] += f2 * std::cos(phi) - f * std::sin(phi);
  sums[4] += f * std::cos(phi) - f2 * std::sin(phi);
  sums[5] += f * std::sin(phi) + f2 * std::cos(phi);
}

TEST(Run, MixedCrystalAgreesWithAModelOfTheTables) {
  ProgramRunner runner(kTestBase);
  const RunResult run = runner.Run("0 0 0\n0 0 0\n1.0\n1 1 1\n30\nGa7In3As\n2\n");
  ASSERT_EQ(run.exit_status, 0) << run.error_output;
  EXPECT_EQ(run.error_output, "");
  std::array<double, 6> gaas{};
  std::array<double, 6> inas{};
  AddSite(kGa, 0, 0, 0, 1, 1, 1, 30, 1.0, gaas);
  AddSite(kAs, 0.25, 0.25, 0.25, 1, 1, 1, 30, 1.0, gaas);
  AddSite(kIn, 0, 0, 0, 1, 1, 1, 30, 1.0, inas);
  AddSite(kAs, 0.25, 0.25, 0.25, 1, 1, 1, 30, 1.0, inas);
  const double lattice = 0.7 * 5.0 + 0.3 * 6.0;
  const double gamma = 2.817938e-5 / 3.141592653589793 * 1.0 * 1.0 / (lattice * lattice * lattice);
  std::vector<std::string> expected;
  for (int k = 0; k < 6; ++k) expected.push_back(Printed("%g", 0.7 * gaas[k] + 0.3 * inas[k]));
  for (int k = 0; k < 6; ++k) {
    expected.push_back(Printed("%g", (k == 0 ? -1 : 1) * (0.7 * gaas[k] + 0.3 * inas[k]) * gamma * 2));
  }
  expected.insert(expected.end(), {"", Printed("%g", lattice), Printed("%g", lattice), Printed("%f", lattice), "",
                                   Printed("%f", 0.7 * 0.3 + 0.3 * 0.35)});
  EXPECT_EQ(LinesOf(*run.output), expected);
}

TEST(Run, UnusableInputStopsWithAMessageAndNoOutput) {
  struct Case {
    std::optional<std::string> input;
    const char* message;
  } cases[] = {
      {std::nullopt, "xrdcalc: cannot read input.dat: No such file or directory\n"},
      {"", "xrdcalc: input.dat: lattice constant a (number 1 of 11) is missing or malformed near the end of the file\n"},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n", "xrdcalc: input.dat: the Bragg angle (number 11 of 11) is missing or malformed"},
      {"0 0 0\n0 0 x\n1.5\n0 0 4\n0\nGaAs\n1\n", "xrdcalc: input.dat: the sixth value (number 6 of 11) is missing or malformed near \"x\"\n"},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n0\nGaAs", "xrdcalc: input.dat: the file ends before the line feed that ends the formula line\n"},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n0\nGaAs\n", "xrdcalc: input.dat: the scale after the formula line is missing or malformed near the end of the file\n"},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n0\nGaAs\nabc\n", "xrdcalc: input.dat: the scale after the formula line is missing or malformed near \"abc\"\n"},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n0\nGa7xIn3As\n1\n", "xrdcalc: formula \"Ga7xIn3As\": weight of component \"Ga\": \"7x\" is not a whole number\n"},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n0\nGa7In3As \n1\n", "xrdcalc: formula \"Ga7In3As \": weight of component \"As \": the weight is empty\n"},
  };
  ProgramRunner runner(kTestBase);
  for (const Case& c : cases) {
    fs::remove(runner.work() / "input.dat");
    WriteBytes(runner.work() / "output.dat", "a stale result\n");
    const RunResult run = runner.Run(c.input);
    EXPECT_EQ(run.exit_status, 1) << c.message;
    EXPECT_EQ(run.error_output.substr(0, std::string(c.message).size()), c.message);
    EXPECT_FALSE(run.output) << c.message;
  }
}

TEST(Run, OutputThatCannotBeWrittenStopsWithAMessage) {
  ProgramRunner runner(kTestBase);
  fs::create_directory(runner.work() / "output.dat");
  fs::create_directory(runner.work() / "output.dat" / "keep");
  const RunResult run = runner.Run(kConventional);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.error_output.find("xrdcalc: cannot write output.dat: Is a directory; the output.dat of an earlier "
                                  "run could not be removed (Is a directory) and is not this run's result\n"),
            std::string::npos)
      << run.error_output;
}

TEST(Run, FindsItsDataFromAnyDirectoryAndThroughASymlink) {
  ProgramRunner runner(kTestBase);
  const RunResult direct = runner.Run(kConventional);
  ASSERT_EQ(direct.exit_status, 0) << direct.error_output;
  const fs::path elsewhere = runner.root() / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_symlink(runner.executable(), elsewhere / "xrdcalc");
  const RunResult linked = runner.Run(kConventional, elsewhere / "xrdcalc");
  EXPECT_EQ(linked.exit_status, 0) << linked.error_output;
  EXPECT_EQ(linked.output, direct.output);
}

TEST(Run, TellsWhatItHasWhenAsked) {
  ProgramRunner runner(kTestBase);
  const struct {
    const char* arguments;
    std::vector<std::string> shown;
  } cases[] = {
      {"--help", {"usage: xrdcalc [--help | --version | --list]", "input.dat", "output.dat (18 lines",
                  (runner.base()).string(), "Exit status: 0"}},
      {"--version", {"xrdcalc ", "f0_xop.dat:\n", "f1f2.dat:\n"}},
      {"x --list", {"GaAs        5          0.3      Ga As  (test zincblende with one site per element)\n",
                    "Gab         unusable: line 2 is not", "f1f2.dat: 9 elements, energies 1000 to 30000 eV"}},
  };
  for (const auto& c : cases) {
    const RunResult run = runner.Run(std::nullopt, {}, c.arguments);
    EXPECT_EQ(run.exit_status, 0) << c.arguments;
    for (const std::string& text : c.shown) EXPECT_NE(run.standard_output.find(text), std::string::npos) << text;
    EXPECT_FALSE(run.output) << c.arguments;
  }
}

// The bundled examples with the shipped Base/ reproduce their recorded
// output.dat byte for byte (the README's walk-through uses si-004).
TEST(Examples, ReproduceTheirRecordedOutputAndTheReadmeShowsIt) {
  ProgramRunner runner(SHIPPED_BASE, /*link_base=*/true);
  // The README's table of output lines is si-004's output.dat.
  const std::vector<std::string> si = LinesOf(ReadBytes(fs::path(EXAMPLES_DIR) / "si-004" / "output.dat"));
  const std::string readme = ReadBytes(fs::path(EXAMPLES_DIR).parent_path() / "README.md");
  for (std::size_t line = 1; line <= si.size(); ++line) {
    const std::string row = "| " + std::to_string(line) + " | " + si[line - 1] + " |";
    EXPECT_NE(readme.find(row), std::string::npos) << row;
  }
  for (const char* name : {"si-004", "ingaas-004", "gaas-theta", "ga7in3as-004"}) {
    const fs::path example = fs::path(EXAMPLES_DIR) / name;
    const RunResult run = runner.Run(ReadBytes(example / "input.dat"));
    EXPECT_EQ(run.exit_status, 0) << name;
    EXPECT_EQ(run.error_output, "") << name;
    EXPECT_EQ(run.output, ReadBytes(example / "output.dat")) << name;
  }
}

}  // namespace
}  // namespace xrd::testing
