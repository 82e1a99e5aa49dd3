// Whole runs of the built program in scratch directories: the input.dat
// layouts, the exact output.dat, values checked against a model written
// here, the orderly stops, and finding Base/ from anywhere.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "runtime/text_mode.hpp"
#include "tests/e2e/program_runner.hpp"
#include "tests/support/test_tables_model.hpp"
#include "xrdcalc/calculator.hpp"

namespace xrd::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kTestBase = TEST_DATA_BASE;
const std::string kConventional = "0 0 0\n0 0 0\n1.0\n1 1 1\n30\nGaAs\n1\n";

// Numbers, formula and scale laid out any way input.dat allows give the same output.dat.
TEST(Run, InputLayoutsGiveTheSameRun) {
  ProgramRunner runner(kTestBase);
  const RunResult reference = runner.Expect(kConventional, 0, "");
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

// Every line of output.dat to the six digits it prints, against the test
// tables' model (tests/support/test_tables_model.hpp): a mix with the
// structures' own lattices, with a given Bragg angle or each one's own, and
// given orthogonal cells a != b != c whose volume and spacings use every axis.
TEST(Run, OutputAgreesWithTheTablesAndTheTextbookFormulas) {
  ProgramRunner runner(kTestBase);
  const struct { double a, b, c, lambda, h, k, l, theta, scale; } cases[] = {
      {0, 0, 0, 1.0, 1, 2, 3, 30, 2}, {0, 0, 0, 1.0, 1, 2, 3, 0, 1}, {5, 5.5, 6, 1.2, 1, 2, 3, 0, 1},
      {4.5, 6.5, 5.2, 0.9, -3, 1, 2, 0, 0.5}};
  for (const auto& c : cases) {
    char input[256];
    std::snprintf(input, sizeof input, "%.17g %.17g %.17g\n0 0 0\n%.17g\n%g %g %g\n%.17g\nGa7In3As\n%.17g\n", c.a, c.b,
                  c.c, c.lambda, c.h, c.k, c.l, c.theta, c.scale);
    SCOPED_TRACE(input);
    const RunResult run = runner.Expect(input, 0, "");
    std::array<double, 16> expected{};
    const bool given = c.a != 0;
    for (const auto& [name, weight] : {std::pair{"GaAs", 0.7}, {"InAs", 0.3}}) {
      const double own = testing::Structures().at(name).lattice;
      const double a = given ? c.a : own, b = given ? c.b : own, cc = given ? c.c : own;
      const double theta = c.theta != 0 ? c.theta : testing::BraggAngle(c.h, c.k, c.l, a, b, cc, c.lambda);
      const testing::Sums sums = testing::StructureSums(name, c.h, c.k, c.l, theta, c.lambda);
      const double parts[6] = {sums.f1, sums.f2, sums.f_minus.real(), sums.f_minus.imag(), sums.f_plus.real(),
                               sums.f_plus.imag()};
      for (int i = 0; i < 6; ++i) expected[i] += weight * parts[i];
      for (int i = 12; i < 15; ++i) expected[i] += given ? 0 : weight * own;
      expected[15] += weight * testing::Structures().at(name).scalar;
    }
    if (given) expected[12] = c.a, expected[13] = c.b, expected[14] = c.c;
    const double gamma = testing::Gamma(c.lambda, expected[12], expected[13], expected[14]) * c.scale;
    for (int i = 0; i < 6; ++i) expected[6 + i] = (i == 0 ? -1 : 1) * expected[i] * gamma;
    const std::vector<std::string> lines = LinesOf(run.output.value_or(""));
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[12] + lines[16], "");
    for (int i = 0; i < 16; ++i) {
      const double printed = std::strtod(lines[i < 12 ? i : i < 15 ? i + 1 : 17].c_str(), nullptr);
      EXPECT_NEAR(printed, expected[i], 6e-6 * std::abs(expected[i]) + 1e-300) << "value " << i + 1;
    }
  }
}

// output.dat is linked into place from an unnamed file, or, without
// /proc/self/fd (hidden in a mount namespace of the run's own), renamed into
// place from a temporary name, which is removed when the run cannot write.
TEST(Run, OutputIsWrittenWholeOrNotAtAll) {
  ProgramRunner runner(kTestBase);
  const std::string expected = runner.Expect(kConventional, 0, "").output.value_or("");
  fs::remove(runner.work() / "output.dat");
  fs::create_directories(runner.work() / "output.dat" / "keep");
  const std::string blocked = "xrdcalc: cannot write output.dat: Is a directory; the output.dat of an earlier run "
                              "could not be removed (Is a directory) and is not this run's result\n";
  runner.Expect(std::nullopt, 1, blocked);
  const fs::path wrapper = runner.WithoutProc("/proc/$$/fd");
  if (wrapper.empty()) GTEST_SKIP() << "no mount namespaces here";
  runner.Expect(std::nullopt, 1, blocked, "", wrapper);
  const std::vector<std::string> both = {"input.dat", "output.dat"};
  EXPECT_EQ(runner.Names(), both);
  fs::remove_all(runner.work() / "output.dat");
  const RunResult fresh = runner.Run(std::nullopt, wrapper);  // no earlier output.dat, then a stale one
  EXPECT_EQ(fresh.exit_status, 0) << fresh.error_output;
  EXPECT_EQ(fresh.output, expected);
  EXPECT_EQ(runner.Names(), both);
  EXPECT_EQ(runner.Expect(std::nullopt, 0, "", "", wrapper).output, expected);
  EXPECT_EQ(runner.Names(), both);
  fs::remove(runner.work() / "output.dat");
  const fs::path read_only =
      runner.WithoutProc("/proc/$$/fd", "mount --bind . . && mount -o remount,bind,ro . && cd \"$PWD\" && ");
  const RunResult run = runner.Run(std::nullopt, read_only);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.error_output.rfind("xrdcalc: cannot create output.dat (temporary file output.dat.", 0), 0u);
  EXPECT_TRUE(run.error_output.ends_with("): Read-only file system\n")) << run.error_output;  // no stale file blamed
  EXPECT_EQ(runner.Names(), std::vector<std::string>{"input.dat"});
}

// Base/ is the one beside the executable, however the program is started:
// through a symlink, without /proc, or from a directory whose path is longer
// than PATH_MAX. A decoy Base/ in the working directory, whose GaAs has
// another lattice constant, must never be read.
TEST(Run, FindsItsDataBesideItsExecutableAndNowhereElse) {
  ProgramRunner runner(kTestBase);
  const RunResult direct = runner.Expect(kConventional, 0, "");
  fs::copy(kTestBase, runner.work() / "Base", fs::copy_options::recursive);
  WriteBytes(runner.work() / "Base" / "GaAs.stf", "a decoy\n2,216\n7.0,0.3\nGa\n1\n0, 0, 0\nAs\n1\n0.1, 0.25, 0.4\n");
  fs::create_symlink(runner.executable(), runner.root() / "linked");  // no Base/ beside the link
  EXPECT_EQ(runner.Expect(std::nullopt, 0, "", "", runner.root() / "linked").output, direct.output);
  // 45 directories of 100 characters, started as ../bin/xrdcalc from deep/work (bash: dash cannot cd past
  // PATH_MAX); its output.dat is copied back to work/. The sanitizers' runtime warns there that it cannot
  // read the executable's name, a line of its own that the script leaves out.
  const std::string root = runner.root().string();
  WriteBytes(root + "/deep.sh", R"(cd "$1" && for i in $(seq 45); do d=$(printf d%099d $i); mkdir $d && cd $d || exit 1
done; mkdir bin work && cp "$1/bin/xrdcalc" bin/ && cp -r "$1/bin/Base" bin/Base && cp -r "$1/work/Base" work/Base &&
cd work && cp "$1/work/input.dat" . && pwd | wc -c > "$1/depth" && ../bin/xrdcalc 2> "$1/deep-stderr"; status=$?
grep -v '^==[0-9]*==WARNING: reading executable name failed' "$1/deep-stderr" >&2
cp output.dat "$1/work/output.dat"; cd "$1" && rm -rf d0*; exit $status)");
  EXPECT_EQ(runner.Expect(std::nullopt, 0, "", "'" + root + "/deep.sh' '" + root + "'", "bash").output, direct.output);
  EXPECT_GT(std::stoi(ReadBytes(root + "/depth")), 4200);
#ifdef XRDCALC_SANITIZED
  GTEST_SKIP() << "the sanitizers' runtime needs /proc";
#endif
  const fs::path wrapper = runner.WithoutProc("/proc");
  if (wrapper.empty()) GTEST_SKIP() << "no mount namespaces here";
  EXPECT_EQ(runner.Expect(std::nullopt, 0, "", "", wrapper).output, direct.output);
}

// --help, --version and --list show the data directory, the tables' headers
// and every structure file as it reads; other arguments are ignored.
TEST(Run, TellsWhatItHasWhenAsked) {
  ProgramRunner runner(kTestBase);  // a copy: its f0 table gets a longer header
  const fs::path f0 = runner.base() / "f0_xop.dat";
  WriteBytes(f0, "#F f0 test\n#UT units\tand a tab\n#X not shown\n#C first\n#C second\n" + ReadBytes(f0));
  const fs::path f1f2 = runner.base() / "f1f2.dat";
  WriteBytes(f1f2, "#C one\n#C two\n#C three\n" + ReadBytes(f1f2));
  WriteBytes(runner.base() / ".stf", "a name that is only the suffix is no structure\n");
  WriteBytes(runner.base() / "GaAsw.stf", "test wurtzite, its elements named on line 2\n2,186,Ga,As\n"
                                          "4.0,0.25,4.0,6.5,90,90,120\nGa\n1\n0, 0, 0\nAs\n1\n0, 0, 0.375\n");
  WriteBytes(runner.base() / "Zq.stf", "gallium under another name\n1,225,Ga\n4.0,0.1\nGa\n1\n0, 0, 0\n");
  fs::create_directory(runner.base() / "Dir.stf");
  const std::string base = runner.base().string();
  const std::string debye_waller = "debye_waller.dat:\n  #F debye_waller.dat of the test tables: B(T) rows made up for "
                                   "the tests\n  #C B in square angstroms at 0, 100, 300 and 1000 K; InP has none\n";
  const std::string help = runner.Run(std::nullopt, {}, "--help").standard_output;
  EXPECT_TRUE(help.starts_with("usage: xrdcalc [--help | --version | --list]") && help.find(base) != help.npos) << help;
  const RunResult version = runner.Run(std::nullopt, {}, "--version");
  EXPECT_EQ(version.standard_output.substr(version.standard_output.find('\n') + 1),
            "data directory: " + base + "\nf0_xop.dat:\n  #F f0 test\n  #UT units and a tab\n  #C first\n"
            "f1f2.dat:\n  #C one\n  #C two\n  #C three\n" + debye_waller);
  const RunResult list = runner.Run(std::nullopt, {}, "x --list");
  const std::string ignored = "\" ignored: xrdcalc reads input.dat in the working directory (see --help)\n";
  EXPECT_EQ(list.error_output, "warning: argument \"x" + ignored);
  EXPECT_EQ(list.standard_output,
            "data directory: " + base + "\n"
            "structure   a (A)      scalar   elements\n"
            "(a cell that is not cubic as a b c in A, alpha beta gamma in degrees)\n"
            "BN          3.615      0.2      B N  (test two one-letter symbols)  [no B(T)]\n"
            "Dir         unusable: cannot open " + base + "/Dir.stf: Is a directory\n"
            "Ga          4          0.1      Ga  (test element Ga alone)  [no B(T)]\n"
            "GaAs        5          0.3      Ga As  (test zincblende with one site per element)  [B(T) 0-1000 K]\n"
            "GaAsw       4 4 6.5 90 90 120 0.25     Ga As  (test wurtzite, its elements named on line 2)  [no B(T)]\n"
            "Gab         unusable: line 2 is not \"element count,number\"\n"
            "Gas         4          0.1      Ga  (twenty-five sites declared (the name begins with the symbol ... "
            "(63 characters))  [no B(T)]\n"
            "He          4          0.1      He  (helium alone, in the form-factor table but not in the f1f2 t... "
            "(64 characters))  [no B(T)]\n"
            "In          4.4        0.2      In  (test element In alone)  [no B(T)]\n"
            "InAs        6          0.35     In As  (test zincblende with one site per element)  [B(T) 0-300 K]\n"
            "InP         5.8687     0.36     In P  (test two-letter and one-letter symbols)  [no B(T)]\n"
            "Q           4          0.1      Q  (too short a name for two symbols)  [no B(T)]\n"
            "Si          5.43102    0.2785   Si  (diamond-type silicon)  [B(T) 0-1000 K]\n"
            "Tri         unusable: element count 3 on line 2 is not 1 or 2\n"
            "Zq          4          0.1      Ga  (gallium under another name)  [no B(T)]\n"
            "f1f2.dat: 9 elements, energies 1000 to 30000 eV; every one of them covers 5000 to 15000 eV\n");
  // Any other argument is ignored, with one warning line each, and the run goes on.
  const std::string warnings = "warning: argument \"my.dat" + ignored + "warning: argument \"a b" + ignored;
  EXPECT_EQ(runner.Expect(kConventional, 0, warnings, "my.dat 'a b'").output, runner.Run(kConventional).output);
  fs::remove(runner.work() / "output.dat");
  // A table that cannot be opened is named with the reason, and nothing else stops.
  fs::remove(runner.base() / "f0_xop.dat");
  fs::remove(runner.base() / "f1f2.dat");
  fs::create_directory(runner.base() / "f1f2.dat");
  const std::string unopened = "cannot open " + base + "/f1f2.dat: Is a directory\n";
  for (const auto& [arguments, shown] :
       {std::pair{"--version", "f0_xop.dat:\n  (missing)\nf1f2.dat:\n  " + unopened + debye_waller},
        std::pair{"--list", "(gallium under another name)  [no B(T)]\nf1f2.dat: " + unopened}}) {
    const RunResult run = runner.Run(std::nullopt, {}, arguments);
    EXPECT_EQ(run.exit_status, 0) << arguments;
    EXPECT_TRUE(run.standard_output.ends_with(shown)) << run.standard_output;
    EXPECT_FALSE(run.output) << arguments;
  }
}

// --temperature K damps the structure factors as the library does at K
// kelvin; an unusable value, or a structure without B data, stops the run
// with one message and leaves no output.dat, not even an earlier one.
TEST(Run, AppliesThermalVibrationAtTheTemperatureGiven) {
  ProgramRunner runner(kTestBase);
  const std::string input = "0 0 0\n0 0 0\n1.5405929\n0 0 2\n0\nGaAs\n1\n";
  const Calculator calculator(runner.base().string());
  RunInput run = ParseRunInput(input);
  run.temperature_k = 250.0;
  const std::string warm = ToTextModeBytes(FormatOutput(calculator.compute(run)));
  for (const char* arguments : {"--temperature 250", "--temperature=250", "--temperature 2.5e2"}) {
    EXPECT_EQ(runner.Expect(input, 0, "", arguments).output, warm) << arguments;
  }
  const std::pair<std::string, std::string> stops[] = {
      {"--temperature 1e9", "xrdcalc: the Debye-Waller table gives the B of Ga in GaAs up to 1000 K, not at 1e+09 K\n"},
      {"--temperature -3", "xrdcalc: the temperature is -3; it must be a finite number of kelvin from 0 on\n"},
      {"--temperature 3K", "xrdcalc: --temperature needs a number of kelvin, not \"3K\"\n"},
      {"--temperature", "xrdcalc: --temperature needs a number of kelvin, not \"\"\n"},
      {"--temperature 3 --temperature=3", "xrdcalc: --temperature is given more than once\n"},
  };
  for (const auto& [arguments, message] : stops) runner.Expect(input, 1, message, arguments);
  runner.Expect("0 0 0\n0 0 0\n1.5405929\n0 0 4\n0\nInP\n1\n", 1,
                "xrdcalc: the Debye-Waller table <base>/debye_waller.dat has no B for In in InP; at a temperature "
                "every element needs one (the library and the Python module also take B factors given per element)\n",
                "--temperature 300");
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
    EXPECT_EQ(runner.Expect(ReadBytes(example / "input.dat"), 0, "").output, ReadBytes(example / "output.dat"))
        << name;
  }
}

}  // namespace
}  // namespace xrd::testing
