// Hostile input.dat contents and broken data directories: every run ends
// quickly in an orderly stop or an eighteen-line output.dat, with exactly the
// messages it should give, each once and in order (ProgramRunner::Expect);
// no file outside Base/ is opened.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/e2e/program_runner.hpp"

namespace xrd::testing {
namespace {

namespace fs = std::filesystem;

std::string Input(const std::string& numbers, const std::string& formula = "GaAs") {
  return numbers + "\n" + formula + "\n1\n";
}
const std::string kNumbers = "0 0 0\n0 0 0\n1.5405929\n0 0 4\n30";
const std::string kNoFile = "xrdcalc: cannot read input.dat: ";

// A formula naming no structure file, one outside Base/ or too many
// components stops the run, the name shown safely with the closest names.
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
      {std::string("G").append(1 << 19, 'a'),
       missing("Ga" + a_run + "... (524289 characters)", "Ga" + a_run + "... (524293 characters)", "GaAs, Ga, Gab")},
      {std::string(1 << 19, 'A') + "1",
       "xrdcalc: formula \"" + std::string(60, 'A') + "... (524289 characters)\": more than 10 components\n"},
      {"..", missing("..", "...stf", "BN, Ga, He")},
      {"GaAss", missing("GaAss", "GaAss.stf", "GaAs, Gas, Ga")},
      {"GAS", missing("GAS", "GAS.stf", "Gas, Ga, GaAs")},  // any case, the A too
      {"Si\t", missing("Si\\x09", "Si\\x09.stf (the name has leading or trailing blanks or tabs, which belong to it)",
                       "Si, In, BN")},
  };
  ProgramRunner runner(TEST_DATA_BASE);
  for (const auto& [formula, messages] : cases) runner.Expect(Input(kNumbers, formula), 1, messages);
}

// The eleven numbers and the scale: values out of reach give a result with
// the C library's reports, unusable or unreadable ones stop the run naming
// the value and why.
TEST(Hostile, Numbers) {
  std::string overflows;  // f0 at s = NaN: ten exponentials
  for (int i = 0; i < 10; ++i) overflows += "\r\nexp: OVERFLOW error\r\n";
  const std::string asin = "\r\nasin: DOMAIN error\r\n";
  const std::string near_end = " is missing or malformed near the end of the file\n";
  const std::string stop = "xrdcalc: input.dat: ";
  const struct {
    std::string input;
    int exit_status;
    std::string messages;
    std::vector<std::pair<int, std::string>> lines = {};  // 0-based line of output.dat, its text
  } runs[] = {
      {Input("4.5 0x1p2 5e-1\n0 0 0\n1.54\n0 0 4\n30"), 0, "", {{13, "4.5"}, {14, "4"}, {15, "0.500000"}}},
      {Input("1e-200 1 1\n0 0 0\n1.54\n0 0 4\n30"), 0, "", {{13, "1e-200"}}},
      {Input("0 0 0\n0 0 0\n1.54\n1e300 1e300 1e300\n30"), 0, ""},
      // With 0 0 0 the lattice step makes the structure again, out of reach again.
      {Input("0 0 0\n0 0 0\n1.54\n1e300 1e300 1e300\n0"), 0, asin + overflows + asin},
      {Input("5.0 5.0 5.0\n0 0 0\n1.54\n0 0 8\n0"), 0, asin + overflows, {{2, "+INF"}}},  // out of reach: f0 of a NaN
      {Input("0 0 0\n0 0 0\n1.54\n0 0 4\n90"), 0, ""},
      {Input("0 0 0\n0 0 0\n1.54\n0 0 4\n1e20"), 0, overflows},  // sin beyond 2^53: a NaN, silently
      {Input("0 0 0\n0 0 0\n1.54\n0 0 4\n1e400", "Ga7In3As"), 0, overflows + overflows},
      {Input("1e200 1e200 1e200\n0 0 0\n1.54\n0 0 4\n30"), 1,
       stop + "the lattice constants (values 1 to 3) 1e+200 1e+200 1e+200 give a cell volume of +INF cubic "
              "angstroms, beyond the range of the computation\n"},
      {"0 0 0\n0 0 0\n1.54\n0 0 4\n0\nGa\x1a" "As\n1\n", 1,
       stop + "the file ends before the line feed that ends the formula line\n"},
      {Input("0 0 0\n0 0 0\n1.54\n0 0\x1a 4\n0"), 1, stop + "the index l (number 10 of 11)" + near_end},
      {Input("0x 0 0\n0 0 0\n1.54\n0 0 4\n0"), 1,
       stop + "lattice constant a (number 1 of 11) is missing or malformed near \" 0 0\"\n"},
      {"", 1, stop + "lattice constant a (number 1 of 11)" + near_end},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n", 1, stop + "the Bragg angle (number 11 of 11)" + near_end},
      {Input("0 0 0\n0 0 x\n1.5\n0 0 4\n0"), 1,
       stop + "the sixth value (number 6 of 11) is missing or malformed near \"x\"\n"},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n" + std::string(30, 'x'), 1,
       stop + "the Bragg angle (number 11 of 11) is missing or malformed near \"" + std::string(20, 'x') + "\"\n"},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n0\nGaAs\n", 1, stop + "the scale after the formula line" + near_end},
      {"0 0 0\n0 0 0\n1.5\n0 0 4\n0\nGaAs\nabc\n", 1,
       stop + "the scale after the formula line is missing or malformed near \"abc\"\n"},
      {std::string(1 << 20, ' ') + Input(kNumbers), 1, kNoFile + "larger than 1048576 bytes; not read\n"},
  };
  ProgramRunner runner(TEST_DATA_BASE);
  for (const auto& r : runs) {
    const RunResult run = runner.Expect(r.input, r.exit_status, r.messages);
    for (const auto& [line, text] : r.lines) EXPECT_EQ(LinesOf(run.output.value_or("")).at(line), text) << r.input;
  }
  for (const char* lattice : {"nan inf 0x1p2", "-5.65 -5.65 -5.65", "0 0 5", "5 5 -0"}) {
    runner.Expect(Input(std::string(lattice) + "\n0 0 0\n1.54\n0 0 4\n30"), 1,
                  stop + "the lattice constants (values 1 to 3) are " +
                      (lattice == std::string("nan inf 0x1p2") ? "+NAN +INF 4" : lattice) +
                      "; they must be 0 0 0 (taken from the structure files) or three positive, finite numbers of "
                      "angstroms\n");
  }
  for (const auto& [lambda, shown] : {std::pair{"0", "0"}, {"-1.54", "-1.54"}, {"nan", "+NAN"}, {"inf", "+INF"}}) {
    runner.Expect(Input(std::string("0 0 0\n0 0 0\n") + lambda + "\n0 0 4\n0"), 1,
                  stop + "the wavelength (value 7) is " + shown +
                      "; it must be a positive, finite number of angstroms\n");
  }
}

// Only a regular input.dat is read: a device or a pipe without a writer is
// refused at once, never waited on. A byte-order mark at the start is
// skipped; text after the scale is ignored with a warning, which stands
// before the message of a run that then stops.
TEST(Hostile, InputThatIsNotARegularFileOrTooLong) {
  ProgramRunner runner(TEST_DATA_BASE);
  const std::pair<void (*)(const fs::path&), const char*> inputs[] = {
      {[](const fs::path&) {}, "No such file or directory"},
      {[](const fs::path& p) { fs::create_symlink("/dev/zero", p); }, "not a regular file"},
      {[](const fs::path& p) { mkfifo(p.c_str(), 0600); }, "not a regular file"},
      {[](const fs::path& p) { fs::create_symlink("/proc/self/mem", p); }, "Input/output error"},  // reading fails
  };
  for (const auto& [make, reason] : inputs) {
    make(runner.work() / "input.dat");
    runner.Expect(std::nullopt, 1, kNoFile + reason + "\n");
    fs::remove(runner.work() / "input.dat");
  }
  const RunResult plain = runner.Expect(Input(kNumbers), 0, "");
  EXPECT_EQ(runner.Expect("\xEF\xBB\xBF" + Input(kNumbers) + " 2 3\n\n", 0,
                          "warning: input.dat: text after the scale is ignored: \"2 3\"\n").output, plain.output);
  runner.Expect(Input(kNumbers, "GaAss") + " 2\n", 1,
                "warning: input.dat: text after the scale is ignored: \"2\"\n"
                "xrdcalc: structure \"GaAss\": no structure file <base>/GaAss.stf; closest structures: GaAs, Gas, Ga\n");
}

// Each case breaks one thing in a fresh copy of the test data directory;
// the run stops with "xrdcalc: " and the message.
TEST(Hostile, DataProblemsStopTheRun) {
  using Base = const fs::path&;
  const std::pair<void (*)(Base), std::string> broken[] = {
      {[](Base b) { fs::remove_all(b); }, "data directory <base>: No such file or directory"},
      {[](Base b) { fs::remove_all(b); WriteBytes(b, "x"); }, "data directory <base>: Not a directory"},
      {[](Base b) { fs::remove(b / "f0_xop.dat"); }, "cannot open <base>/f0_xop.dat: No such file or directory"},
      {[](Base b) { fs::remove(b / "f1f2.dat"); fs::create_directory(b / "f1f2.dat"); },
       "cannot open <base>/f1f2.dat: Is a directory"},
      {[](Base b) { fs::remove(b / "f1f2.dat"); mkfifo((b / "f1f2.dat").c_str(), 0644); },
       "cannot open <base>/f1f2.dat: not a regular file"},
      {[](Base b) { fs::permissions(b / "f0_xop.dat", fs::perms::none); },
       "cannot open <base>/f0_xop.dat: Permission denied"},  // not for root, who reads files whatever their mode
  };
  for (const auto& [setup, message] : broken) {
    if (geteuid() == 0 && message.ends_with("Permission denied")) continue;
    ProgramRunner runner(TEST_DATA_BASE);
    setup(runner.base());
    runner.Expect(Input(kNumbers), 1, "xrdcalc: " + message + "\n");
  }
  const std::string cut_short = "element Ga: no record for the element, and no Cf end record: the table is cut short";
  const std::string no_end = "element Ga: no Cf end record after the element's record: the table is cut short";
  const std::string lattice = " on line 3 is not a positive, finite number of angstroms";
  auto symbols = [](const char* named) {
    return "line 2 names the elements \"" + std::string(named) + "\", not one symbol per element (\"2,186,Ga,N\")";
  };
  const struct {  // `file` with its first `from` replaced by `to`, or cut after `from` when `to` is null
    const char* file;
    std::string from;
    const char* to;
    std::string message;  // after "<base>/file: "
    const char* formula = "GaAs";
  } edits[] = {
      {"f0_xop.dat", "", nullptr, cut_short},
      {"f1f2.dat", "", nullptr, cut_short},
      {"f1f2.dat", "15000 30", nullptr, "element Ga: the data row after energy 10367.000000 eV is not three numbers"},
      {"f1f2.dat", "20000 31.0 1.0\n", nullptr, no_end},
      {"f1f2.dat", "20000 31.0 1.0", "xyz", "element Ga: the data row after energy 15000.000000 eV is not three "
                                            "numbers"},
      {"f1f2.dat", "5000 29.0 1.5", "5000 29.0", "element Ga: the first data row is not three numbers"},
      {"f0_xop.dat", "guess (Waasmaier&Kirfel) data: 10", "guess: 10",
       "element Ga: the tenth '#' is not followed by \"UP MPFIT guess (Waasmaier&Kirfel) data: \""},
      {"f0_xop.dat", "#S  49  In", nullptr, no_end, "Ga7In3As"},
      {"GaAs.stf", "Ga\n1\n", "Ga\n0\n", "element Ga: site count 0 outside 1 to 20"},
      {"GaAs.stf", "Ga\n1\n", "Ga\nx\n", "element Ga: the site count is not an integer"},
      {"GaAs.stf", "Ga\n1\n0, 0, 0\n", "Ga\n2\n0, 0, 0\n0 0 0\n",
       "element Ga: site 2 of 2 is not three numbers \"x, y, z\""},
      {"GaAs.stf", "Ga\n1\n", "Ga\n21\n", "element Ga: site count 21 outside 1 to 20"},
      {"GaAs.stf", "0.1, 0.25, 0.4", "0.1 0.25 0.4", "element As: site 1 of 1 is not three numbers \"x, y, z\""},
      {"GaAs.stf", "2,216", "0,216", "element count 0 on line 2 is not 1 or 2"},
      {"InAs.stf", "2,216", "3,216", "element count 3 on line 2 is not 1 or 2", "Ga7In3As"},
      {"GaAs.stf", "5.0,0.3", "5.0 0.3", "line 3 is not \"lattice constant,structure scalar\""},
      {"GaAs.stf", "2,216", "2,216,Ga", symbols("Ga")},
      {"GaAs.stf", "2,216", "2,216,Ga,As,N", symbols("Ga,As,N")},
      {"GaAs.stf", "2,216", "2,216,ga,As", symbols("ga,As")},
      {"GaAs.stf", "5.0,0.3", "5.0,0.3,5.0,5.0,90,90",
       "line 3 goes on after the structure scalar, but not with \",b,c,alpha,beta,gamma\""},
      {"GaAs.stf", "5.0,0.3", "5.0,0.3,5.0,5.0,60,60,150",
       "line 3 gives no cell: the angles 60 60 150 degrees close no volume"},
      {"GaAs.stf", "5.0,0.3", "0,0.3", "the lattice constant 0" + lattice},
      {"InAs.stf", "6.0,0.35", "-6.0,0.35", "the lattice constant -6" + lattice, "Ga7In3As"},
      {"GaAs.stf", "5.0,0.3", "inf,0.3", "the lattice constant +INF" + lattice},
      {"GaAs.stf", "As\n1\n", "Xx\n1\n",
       "element As: no line begins with the element's symbol: its block of sites is missing"},
      {"Q.stf", "", "", "two elements declared, but the name \"Q\" is too short to split into two symbols", "Q"},
  };
  {  // the shipped table, large enough to be mapped, cut after the records of Ga, Ge and As
    ProgramRunner shipped(SHIPPED_BASE);
    const std::string table = ReadBytes(shipped.base() / "f1f2.dat");
    WriteBytes(shipped.base() / "f1f2.dat", table.substr(0, table.find("#S  34  Se")));
    shipped.Expect(Input(kNumbers), 1, "xrdcalc: <base>/f1f2.dat: " + no_end + "\n");
  }
  for (const auto& e : edits) {
    SCOPED_TRACE(e.message);
    ProgramRunner runner(TEST_DATA_BASE);
    std::string text = ReadBytes(runner.base() / e.file);
    const std::size_t at = text.find(e.from);
    ASSERT_NE(at, std::string::npos) << e.from;
    WriteBytes(runner.base() / e.file, e.to ? text.replace(at, e.from.size(), e.to) : text.erase(at + e.from.size()));
    runner.Expect(Input(kNumbers, e.formula), 1, "xrdcalc: <base>/" + std::string(e.file) + ": " + e.message + "\n");
  }
}

// Two approximations are warnings, each distinct one once per run however
// often the run meets it, in the order met, also past a million rows.
TEST(Hostile, ApproximationsWarnOncePerRun) {
  ProgramRunner runner(TEST_DATA_BASE);
  const std::string table = "warning: <base>/f1f2.dat: element ";
  runner.Expect(Input(kNumbers, "He"), 0, table + "He: no record for the element (searched up to the Cf record); "
                                                  "no anomalous correction, f1 = f0(0), f2 = 0\n");
  // 100 angstroms is below every element's rows; As is in both structures
  // of the mix and in both computation steps.
  const std::string below = ": energy 123.981000 eV below the table's first row (5000.000000 eV); values "
                            "extrapolated\n";
  runner.Expect(Input("0 0 0\n0 0 0\n100\n0 0 0\n30", "Ga7In3As"), 0,
                table + "Ga" + below + table + "As" + below + table + "In" + below);
  std::string rows = "#S 31  Ga\n#N 3\n";  // a million rows for Ga, the run's energy above all of them
  for (int i = 1; i <= 1000000; ++i) rows += std::to_string(i / 1000.0) + " 31 0.5\n";
  WriteBytes(runner.base() / "f1f2.dat", rows + "#S 33  As\n1 2 3\n#S 98  Cf\n0 0 0\n");
  runner.Expect(Input(kNumbers), 0, table + "Ga: energy 8047.615983 eV at or above the table's last row (1000.000000 "
                                            "eV); values extrapolated\n" + table + "As: energy 8047.615983 eV outside "
                                            "the table's only row (1.000000 eV); that row's values used\n");
}

}  // namespace
}  // namespace xrd::testing
