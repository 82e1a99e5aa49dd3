// Hostile input.dat contents and broken data directories: every run ends
// quickly, either in an orderly stop (exit status 1, its message on
// standard error and nothing else, no output.dat, a stale one removed) or
// with an eighteen-line output.dat and exactly the warnings and reports it
// should give, each once and in order; and no file outside Base/ is opened.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
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
const std::string kNoFile = "xrdcalc: cannot read input.dat: ";

// `text` with `times` copies of `part`.
std::string Repeated(const std::string& part, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

// Runs `input` (nullopt: the input.dat in place) with a stale output.dat
// there: exit status 1 and no output.dat, or 0 and eighteen lines; standard
// error is `messages` exactly, "<base>" standing for the data directory.
RunResult ExpectOutcome(ProgramRunner& runner, const std::optional<std::string>& input, int exit_status,
                        std::string messages) {
  for (std::size_t at; (at = messages.find("<base>")) != std::string::npos;) {
    messages.replace(at, 6, runner.base().string());
  }
  WriteBytes(runner.work() / "output.dat", "a stale result\n");
  const auto start = std::chrono::steady_clock::now();
  RunResult run = runner.Run(input);
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

TEST(Hostile, Formulas) {
  const std::string a_run(58, 'a');  // input.dat is at most 1 MiB: half a megabyte of formula
  auto missing = [](const std::string& shown, const std::string& file, const char* closest) {
    return "xrdcalc: structure \"" + shown + "\": no structure file <base>/" + file + "; closest structures: " +
           closest + "\n";
  };
  auto unsafe = [](const char* file) {
    return "xrdcalc: data file name \"" + std::string(file) + "\" holds '/', '\\' or a NUL byte; not opened\n";
  };
  const std::pair<std::string, std::string> cases[] = {
      {std::string("Ga\0As", 5), unsafe("Ga\\x00As.stf")},
      {"../../etc/passwd", unsafe("../../etc/passwd.stf")},
      {"..\\x", unsafe("..\\x.stf")},
      {"Ga\xff\xfe" "As", missing("Ga\\xFF\\xFEAs", "Ga\\xFF\\xFEAs.stf", "GaAs, Gas, Ga")},
      {"Ga\xff" "7In3As", missing("Ga\\xFFAs", "Ga\\xFFAs.stf", "GaAs, Gas, Ga")},
      {"G" + std::string(1 << 19, 'a'), missing("Ga" + a_run + "... (524289 characters)",
                                                "Ga" + a_run + "... (524293 characters)", "GaAs, Ga, Gab")},
      {std::string(1 << 19, 'A') + "1",
       "xrdcalc: formula \"" + std::string(60, 'A') + "... (524289 characters)\": more than 10 components\n"},
      {"..", missing("..", "...stf", "BN, Ga, He")},
      {"GaAss", missing("GaAss", "GaAss.stf", "GaAs, Gas, Ga")},
      {"GAS", missing("GAS", "GAS.stf", "Gas, Ga, GaAs")},  // any case, the A too
      {"Si\t", missing("Si\\x09", "Si\\x09.stf (the name has leading or trailing blanks or tabs, which belong to it)",
                       "Si, In, BN")},
  };
  ProgramRunner runner(TEST_DATA_BASE);
  for (const auto& [formula, messages] : cases) ExpectOutcome(runner, Input(kNumbers, formula), 1, messages);
}

TEST(Hostile, Numbers) {
  ProgramRunner runner(TEST_DATA_BASE);
  const std::string overflows = Repeated("\r\nexp: OVERFLOW error\r\n", 10);  // f0 at s = NaN: ten exponentials
  const std::string asin = "\r\nasin: DOMAIN error\r\n";
  const std::string near_end = " is missing or malformed near the end of the file\n";
  const struct {
    std::string numbers;  // the eleven numbers, before the formula GaAs and the scale 1
    std::string messages;
    std::vector<std::pair<int, std::string>> lines;  // 0-based line of output.dat, its text
  } runs[] = {
      {"4.5 0x1p2 5e-1\n0 0 0\n1.54\n0 0 4\n30", "", {{13, "4.5"}, {14, "4"}, {15, "0.500000"}}},
      {"1e-200 1 1\n0 0 0\n1.54\n0 0 4\n30", "", {{13, "1e-200"}}},
      {"0 0 0\n0 0 0\n1.54\n1e300 1e300 1e300\n30", "", {}},
      // With 0 0 0 the lattice step makes the structure again, out of reach again.
      {"0 0 0\n0 0 0\n1.54\n1e300 1e300 1e300\n0", asin + overflows + asin, {}},
      {"5.0 5.0 5.0\n0 0 0\n1.54\n0 0 8\n0", asin + overflows, {{2, "+INF"}}},  // out of reach: f0 of a NaN
      {"0 0 0\n0 0 0\n1.54\n0 0 4\n90", "", {}},
      {"0 0 0\n0 0 0\n1.54\n0 0 4\n1e20", overflows, {}},  // sin beyond 2^53: a NaN, silently
  };
  for (const auto& r : runs) {
    const RunResult run = ExpectOutcome(runner, Input(r.numbers, "GaAs"), 0, r.messages);
    for (const auto& [line, text] : r.lines) EXPECT_EQ(LinesOf(run.output.value_or("")).at(line), text) << r.numbers;
  }
  for (const char* lattice : {"nan inf 0x1p2", "-5.65 -5.65 -5.65", "0 0 5", "5 5 -0"}) {
    ExpectOutcome(runner, Input(std::string(lattice) + "\n0 0 0\n1.54\n0 0 4\n30", "GaAs"), 1,
                  "xrdcalc: input.dat: the lattice constants (values 1 to 3) are " +
                      std::string(lattice == std::string("nan inf 0x1p2") ? "+NAN +INF 4" : lattice) +
                      "; they must be 0 0 0 (taken from the structure files) or three positive, finite numbers of "
                      "angstroms\n");
  }
  ExpectOutcome(runner, Input("1e200 1e200 1e200\n0 0 0\n1.54\n0 0 4\n30", "GaAs"), 1,
                "xrdcalc: input.dat: the lattice constants (values 1 to 3) 1e+200 1e+200 1e+200 give a cell volume of "
                "+INF cubic angstroms, beyond the range of the computation\n");
  for (const auto& [lambda, shown] : {std::pair{"0", "0"}, {"-1.54", "-1.54"}, {"nan", "+NAN"}, {"inf", "+INF"}}) {
    ExpectOutcome(runner, Input(std::string("0 0 0\n0 0 0\n") + lambda + "\n0 0 4\n0", "GaAs"), 1,
                  std::string("xrdcalc: input.dat: the wavelength (value 7) is ") + shown +
                      "; it must be a positive, finite number of angstroms\n");
  }
  const struct {
    std::string input;
    std::string message;
  } unusable[] = {
      {"0 0 0\n0 0 0\n1.54\n0 0 4\n0\nGa\x1a" "As\n1\n", "the file ends before the line feed that ends the formula line\n"},
      {"0 0 0\n0 0 0\n1.54\n0 0\x1a 4\n0\nGaAs\n1\n", "the index l (number 10 of 11)" + near_end},
      {Input("0x 0 0\n0 0 0\n1.54\n0 0 4\n0", "GaAs"), "lattice constant a (number 1 of 11) is missing or malformed "
                                                        "near \" 0 0\"\n"},
      {"", "lattice constant a (number 1 of 11)" + near_end},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n", "the Bragg angle (number 11 of 11)" + near_end},
      {"0 0 0\n0 0 x\n1.5\n0 0 4\n0\nGaAs\n1\n", "the sixth value (number 6 of 11) is missing or malformed near \"x\"\n"},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n" + std::string(30, 'x'),
       "the Bragg angle (number 11 of 11) is missing or malformed near \"" + std::string(20, 'x') + "\"\n"},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n0\nGaAs\n", "the scale after the formula line" + near_end},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n0\nGaAs\nabc\n", "the scale after the formula line is missing or malformed near "
                                                  "\"abc\"\n"},
  };
  for (const auto& u : unusable) ExpectOutcome(runner, u.input, 1, "xrdcalc: input.dat: " + u.message);
  ExpectOutcome(runner, std::string(1 << 20, ' ') + Input(kNumbers, "GaAs"), 1,
                kNoFile + "larger than 1048576 bytes; not read\n");
  ExpectOutcome(runner, Input("0 0 0\n0 0 0\n1.54\n0 0 4\n1e400", "Ga7In3As"), 0, Repeated(overflows, 2));
}

TEST(Hostile, InputThatIsNotARegularFileOrTooLong) {
  ProgramRunner runner(TEST_DATA_BASE);
  ExpectOutcome(runner, std::nullopt, 1, kNoFile + "No such file or directory\n");
  // Only a regular file is read: a device or a pipe without a writer is
  // refused at once, never waited on.
  fs::create_symlink("/dev/zero", runner.work() / "input.dat");
  ExpectOutcome(runner, std::nullopt, 1, kNoFile + "not a regular file\n");
  fs::remove(runner.work() / "input.dat");
  ASSERT_EQ(mkfifo((runner.work() / "input.dat").c_str(), 0600), 0);
  ExpectOutcome(runner, std::nullopt, 1, kNoFile + "not a regular file\n");
  fs::remove(runner.work() / "input.dat");
  fs::create_symlink("/proc/self/mem", runner.work() / "input.dat");  // opens, but reading address 0 fails
  ExpectOutcome(runner, std::nullopt, 1, kNoFile + "Input/output error\n");
  fs::remove(runner.work() / "input.dat");
  // A byte-order mark at the start is skipped; text after the scale is
  // ignored with a warning, which stands before the message of a run that
  // then stops.
  const RunResult plain = ExpectOutcome(runner, Input(kNumbers, "GaAs"), 0, "");
  const RunResult marked = ExpectOutcome(runner, "\xEF\xBB\xBF" + Input(kNumbers, "GaAs") + " 2 3\n\n", 0,
                                         "warning: input.dat: text after the scale is ignored: \"2 3\"\n");
  EXPECT_EQ(marked.output, plain.output);
  ExpectOutcome(runner, Input(kNumbers, "GaAss") + " 2\n", 1,
                "warning: input.dat: text after the scale is ignored: \"2\"\n"
                "xrdcalc: structure \"GaAss\": no structure file <base>/GaAss.stf; closest structures: GaAs, Gas, Ga\n");
}

// Each case breaks one thing in a fresh copy of the test data directory;
// the run stops with "xrdcalc: " and the message.
TEST(Hostile, DataProblemsStopTheRun) {
  using Setup = std::function<void(const fs::path& base)>;
  auto replace = [](const char* name, const std::string& from, const std::string& to) {
    return [=](const fs::path& base) {
      std::string text = ReadBytes(base / name);
      const std::size_t at = text.find(from);
      ASSERT_NE(at, std::string::npos) << from;
      WriteBytes(base / name, text.replace(at, from.size(), to));
    };
  };
  auto cut_after = [](const char* name, const std::string& marker) {
    return [=](const fs::path& base) {
      const std::string text = ReadBytes(base / name);
      WriteBytes(base / name, text.substr(0, text.find(marker) + marker.size()));
    };
  };
  auto empty = [](const char* name) { return [=](const fs::path& base) { WriteBytes(base / name, ""); }; };
  const std::string cut_short = "no record for the element, and no Cf end record: the table is cut short";
  const std::string no_end = "no Cf end record after the element's record: the table is cut short";
  const std::string lattice = " on line 3 is not a positive, finite number of angstroms";
  const struct {
    const char* what;
    Setup setup;
    const char* formula;
    std::string message;
  } cases[] = {
      {"no data directory", [](const fs::path& b) { fs::remove_all(b); }, "GaAs",
       "data directory <base>: No such file or directory"},
      {"data directory a file", [](const fs::path& b) { fs::remove_all(b); WriteBytes(b, "x"); }, "GaAs",
       "data directory <base>: Not a directory"},
      {"no f0 table", [](const fs::path& b) { fs::remove(b / "f0_xop.dat"); }, "GaAs",
       "cannot open <base>/f0_xop.dat: No such file or directory"},
      {"f1f2 a directory", [](const fs::path& b) { fs::remove(b / "f1f2.dat"); fs::create_directory(b / "f1f2.dat"); },
       "GaAs", "cannot open <base>/f1f2.dat: Is a directory"},
      {"f1f2 a pipe", [](const fs::path& b) { fs::remove(b / "f1f2.dat"); mkfifo((b / "f1f2.dat").c_str(), 0644); },
       "GaAs", "cannot open <base>/f1f2.dat: not a regular file"},
      {"empty f0 table", empty("f0_xop.dat"), "GaAs", "<base>/f0_xop.dat: element Ga: " + cut_short},
      {"empty f1f2 table", empty("f1f2.dat"), "GaAs", "<base>/f1f2.dat: element Ga: " + cut_short},
      {"f1f2 cut inside a row", cut_after("f1f2.dat", "15000 30"), "GaAs",
       "<base>/f1f2.dat: element Ga: the data row after energy 10367.000000 eV is not three numbers"},
      {"f1f2 cut after a record", cut_after("f1f2.dat", "20000 31.0 1.0\n"), "GaAs",
       "<base>/f1f2.dat: element Ga: " + no_end},
      {"f1f2 row that does not scan", replace("f1f2.dat", "20000 31.0 1.0", "xyz"), "GaAs",
       "<base>/f1f2.dat: element Ga: the data row after energy 15000.000000 eV is not three numbers"},
      {"f1f2 first row short", replace("f1f2.dat", "5000 29.0 1.5", "5000 29.0"), "GaAs",
       "<base>/f1f2.dat: element Ga: the first data row is not three numbers"},
      {"f0 literal damaged", replace("f0_xop.dat", "guess (Waasmaier&Kirfel) data: 10", "guess: 10"), "GaAs",
       "<base>/f0_xop.dat: element Ga: the tenth '#' is not followed by \"UP MPFIT guess (Waasmaier&Kirfel) data: \""},
      {"f0 cut short", cut_after("f0_xop.dat", "#S  49  In"), "Ga7In3As", "<base>/f0_xop.dat: element Ga: " + no_end},
      {"site count 0", replace("GaAs.stf", "Ga\n1\n", "Ga\n0\n"), "GaAs",
       "<base>/GaAs.stf: element Ga: site count 0 outside 1 to 20"},
      {"site count x", replace("GaAs.stf", "Ga\n1\n", "Ga\nx\n"), "GaAs",
       "<base>/GaAs.stf: element Ga: the site count is not an integer"},
      {"second site", replace("GaAs.stf", "Ga\n1\n0, 0, 0\n", "Ga\n2\n0, 0, 0\n0 0 0\n"), "GaAs",
       "<base>/GaAs.stf: element Ga: site 2 of 2 is not three numbers \"x, y, z\""},
      {"site count 21", replace("GaAs.stf", "Ga\n1\n", "Ga\n21\n"), "GaAs",
       "<base>/GaAs.stf: element Ga: site count 21 outside 1 to 20"},
      {"site without commas", replace("GaAs.stf", "0.1, 0.25, 0.4", "0.1 0.25 0.4"), "GaAs",
       "<base>/GaAs.stf: element As: site 1 of 1 is not three numbers \"x, y, z\""},
      {"element count 0", replace("GaAs.stf", "2,216", "0,216"), "GaAs",
       "<base>/GaAs.stf: element count 0 on line 2 is not 1 or 2"},
      {"element count 3", replace("InAs.stf", "2,216", "3,216"), "Ga7In3As",
       "<base>/InAs.stf: element count 3 on line 2 is not 1 or 2"},
      {"line 3 does not scan", replace("GaAs.stf", "5.0,0.3", "5.0 0.3"), "GaAs",
       "<base>/GaAs.stf: line 3 is not \"lattice constant,structure scalar\""},
      {"one symbol for two elements", replace("GaAs.stf", "2,216", "2,216,Ga"), "GaAs",
       "<base>/GaAs.stf: line 2 names the elements \"Ga\", not one symbol per element (\"2,186,Ga,N\")"},
      {"three symbols", replace("GaAs.stf", "2,216", "2,216,Ga,As,N"), "GaAs",
       "<base>/GaAs.stf: line 2 names the elements \"Ga,As,N\", not one symbol per element (\"2,186,Ga,N\")"},
      {"symbol in lower case", replace("GaAs.stf", "2,216", "2,216,ga,As"), "GaAs",
       "<base>/GaAs.stf: line 2 names the elements \"ga,As\", not one symbol per element (\"2,186,Ga,N\")"},
      {"cell cut short", replace("GaAs.stf", "5.0,0.3", "5.0,0.3,5.0,5.0,90,90"), "GaAs",
       "<base>/GaAs.stf: line 3 goes on after the structure scalar, but not with \",b,c,alpha,beta,gamma\""},
      {"no cell", replace("GaAs.stf", "5.0,0.3", "5.0,0.3,5.0,5.0,60,60,150"), "GaAs",
       "<base>/GaAs.stf: line 3 gives no cell: the angles 60 60 150 degrees close no volume"},
      {"lattice constant 0", replace("GaAs.stf", "5.0,0.3", "0,0.3"), "GaAs",
       "<base>/GaAs.stf: the lattice constant 0" + lattice},
      {"lattice constant negative", replace("InAs.stf", "6.0,0.35", "-6.0,0.35"), "Ga7In3As",
       "<base>/InAs.stf: the lattice constant -6" + lattice},
      {"lattice constant not finite", replace("GaAs.stf", "5.0,0.3", "inf,0.3"), "GaAs",
       "<base>/GaAs.stf: the lattice constant +INF" + lattice},
      {"block missing", replace("GaAs.stf", "As\n1\n", "Xx\n1\n"), "GaAs",
       "<base>/GaAs.stf: element As: no line begins with the element's symbol: its block of sites is missing"},
      {"name too short to split", [](const fs::path&) {}, "Q",
       "<base>/Q.stf: two elements declared, but the name \"Q\" is too short to split into two symbols"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramRunner runner(TEST_DATA_BASE);
    c.setup(runner.base());
    ExpectOutcome(runner, Input(kNumbers, c.formula), 1, "xrdcalc: " + c.message + "\n");
  }
  if (geteuid() != 0) {  // root reads files whatever their mode
    ProgramRunner runner(TEST_DATA_BASE);
    fs::permissions(runner.base() / "f0_xop.dat", fs::perms::none);
    ExpectOutcome(runner, Input(kNumbers, "GaAs"), 1, "xrdcalc: cannot open <base>/f0_xop.dat: Permission denied\n");
  }
}

// Two approximations are warnings, each distinct one once per run however
// often the run meets it, in the order met.
TEST(Hostile, ApproximationsWarnOncePerRun) {
  ProgramRunner runner(TEST_DATA_BASE);
  ExpectOutcome(runner, Input(kNumbers, "He"), 0,
                "warning: <base>/f1f2.dat: element He: no record for the element (searched up to the Cf record); no "
                "anomalous correction, f1 = f0(0), f2 = 0\n");
  // 100 angstroms is below every element's rows; As is in both structures
  // of the mix and in both computation steps.
  const std::string below = " energy 123.981000 eV below the table's first row (5000.000000 eV); values extrapolated\n";
  ExpectOutcome(runner, Input("0 0 0\n0 0 0\n100\n0 0 0\n30", "Ga7In3As"), 0,
                "warning: <base>/f1f2.dat: element Ga:" + below + "warning: <base>/f1f2.dat: element As:" + below +
                    "warning: <base>/f1f2.dat: element In:" + below);
}

TEST(Hostile, HugeTable) {
  // A million rows for Ga, the run's energy above all of them.
  ProgramRunner runner(TEST_DATA_BASE);
  std::string table = "#S 31  Ga\n#N 3\n";
  for (int i = 1; i <= 1000000; ++i) table += std::to_string(i / 1000.0) + " 31 0.5\n";
  table += "#S 33  As\n1 2 3\n#S 98  Cf\n0 0 0\n";
  WriteBytes(runner.base() / "f1f2.dat", table);
  ExpectOutcome(runner, Input(kNumbers, "GaAs"), 0,
                "warning: <base>/f1f2.dat: element Ga: energy 8047.615983 eV at or above the table's last row "
                "(1000.000000 eV); values extrapolated\nwarning: <base>/f1f2.dat: element As: energy 8047.615983 eV "
                "outside the table's only row (1.000000 eV); that row's values used\n");
}

}  // namespace
}  // namespace xrd::testing
