// f0 and f1/f2 from table text: record layout, evaluation order,
// interpolation and its edge rules, and records that cannot be used.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "element/anomalous_factors.hpp"
#include "element/form_factor.hpp"

namespace xrd {
namespace {

ChemicalSymbol Sym(const char* text) { return ChemicalSymbol{text[0], text[0] ? text[1] : '\0'}; }

// f0 of `symbol` at `s` from table text; 0 where the record cannot be used.
double FormFactorFromTable(std::string_view table_text, ChemicalSymbol symbol, double s, std::string* problem) {
  const auto coefficients = ReadFormFactorRecord(table_text, ScanRecordHeaders(table_text), symbol, problem);
  return coefficients ? EvaluateFormFactor(*coefficients, s) : 0.0;
}

enum class AnomalousTableOutcome { Interpolated, OutsideTable, Absent, Unusable };

// f1 and f2 of `symbol` at `energy_ev` from table text, written only where
// the record is present and usable.
AnomalousTableOutcome AnomalousFromTable(std::string_view table_text, ChemicalSymbol symbol, double energy_ev,
                                         double& f1, double& f2, std::string* problem) {
  const auto record = ReadAnomalousRecord(table_text, ScanRecordHeaders(table_text), symbol, problem);
  if (!record) return AnomalousTableOutcome::Unusable;
  if (!record->present) {
    *problem = kNoRecord;
    return AnomalousTableOutcome::Absent;
  }
  return InterpolateAnomalous(*record, energy_ev, f1, f2, problem) == AnomalousOutcome::Interpolated
             ? AnomalousTableOutcome::Interpolated
             : AnomalousTableOutcome::OutsideTable;
}

const char* const kF0Table =
    "#F test\n"
    "#S  6  C\n#N 11\n#a\n#b\n#c note with # inside\n#d\n#e\n#f\n"
    "#UP MPFIT guess (Waasmaier&Kirfel) data: 2.657506,1.078079,1.490909,-4.241070,0.713791,4.297983,"
    "14.780758,0.776775,42.086842,-0.000294,0.239535\n"
    "#S 14  Si\n#N 11\n#a\n#b\n#c\n#d\n#e\n#f\n#g\n"
    "#UP MPFIT guess (Waasmaier&Kirfel) data: 1, 2,\n 3,4,5,0.5,1,2,3,4,5\n"
    "#S 15  P\n#N 11\n#a\n#b\n#c\n#d\n#e\n#f\n#g\n#UP MPFIT guess(Waasmaier&Kirfel)data:1,2,3,4,5,6,1,1,1,1,1\n"
    "#S 16  S\n#N 11\n#a\n#b\n#c\n#d\n#e\n#f\n#g\n#UP MPFIT wrong text: 1,2,3,4,5,6,1,1,1,1,1\n"
    "#S 17  Cl\n#N 11\n#a\n#b\n#c\n#d\n#e\n#f\n#g\n#UP MPFIT guess (Waasmaier&Kirfel) data: 1 2 3 4 5 6 1 1 1 1 1\n"
    "#S 98  Cf\n#N 11\n#a\n#b\n#c\n#d\n#e\n#f\n#g\n#UP MPFIT guess (Waasmaier&Kirfel) data: 1,1,1,1,1,1,0,0,0,0,0\n"
    "#S 99  Es\n#N 11\n#a\n#b\n#c\n#d\n#e\n#f\n#g\n#UP MPFIT guess (Waasmaier&Kirfel) data: 1,1,1,1,1,1,0,0,0,0,0\n";

TEST(FormFactor, SumsFromTheConstantUpwardWithExponentsFormedAsMinusBsTimesS) {
  std::string problem;
  // Si: a = 1..5, c = 0.5, b = 1..5; a number may stand on the next line.
  EXPECT_EQ(FormFactorFromTable(kF0Table, Sym("Si"), 0.0, &problem), 0.5 + 1 + 2 + 3 + 4 + 5);
  const double s = 0.3;
  double expected = 0.5;
  for (int i = 1; i <= 5; ++i) expected += i * std::exp((-i * s) * s);
  EXPECT_EQ(FormFactorFromTable(kF0Table, Sym("Si"), s, &problem), expected);
  EXPECT_EQ(problem, "");
  // Carbon's comment line holds a '#' that counts towards the ten: its
  // literal follows the ninth line's '#'.
  const double c0 = FormFactorFromTable(kF0Table, Sym("C"), 0.0, &problem);
  EXPECT_EQ(c0, ((((4.297983 + 2.657506) + 1.078079) + 1.490909) + -4.241070) + 0.713791);
  EXPECT_EQ(FormFactorFromTable(kF0Table, Sym("Cf"), 0.25, &problem), 6.0);
  EXPECT_EQ(problem, "");
}

TEST(FormFactor, UnusableRecordsGiveZeroWithAReason) {
  struct Case {
    const char* symbol;
    const char* problem;
  } cases[] = {
      {"Es", "no record for the element (searched up to the Cf record)"},
      {"Xx", "no record for the element (searched up to the Cf record)"},
      {"S", "the tenth '#' is not followed by \"UP MPFIT guess (Waasmaier&Kirfel) data: \""},
      {"Cl", "the coefficients are not eleven numbers, the first ten each followed by a comma"},
  };
  for (const Case& c : cases) {
    std::string problem;
    EXPECT_EQ(FormFactorFromTable(kF0Table, Sym(c.symbol), 0.1, &problem), 0.0) << c.symbol;
    EXPECT_EQ(problem, c.problem) << c.symbol;
  }
  // Blanks in the literal match any run of white space, including none.
  std::string problem;
  EXPECT_EQ(FormFactorFromTable(kF0Table, Sym("P"), 0.0, &problem), 21.0);
  EXPECT_EQ(problem, "");
  EXPECT_EQ(FormFactorFromTable("#S  1  H\n# # #\n#S 98  Cf", Sym("H"), 0.0, &problem), 0.0);
  EXPECT_EQ(problem, "the record ends before its tenth '#'");
}

// f1f2 table: energies 1000, 2000, 2000 (an edge), 4000 for Ga.
const std::string kF1F2Table =
    "#F test\n"
    "#S 31  Ga\n#N 3\n#L E f1 f2\n"
    "1000 10 1\n2000 20 2\n2000 30 6\n4000 40 4\n"
    "#S 32  Ge 100 1 2\n500 3 4\n"
    "#S 33  As\n#" + std::string(78, 'c') + "7000 70 7\n8000 80 8\n"
    "#S 34  Se\n#N 3\n500 5 0.5\n"
    "#S 35  Br\n#N 3\n500 5 0.5\n600 6\n#S 36  Kr\n"
    "#S 37  Rb\n#N 3\n500 5 5\n500 7 9\n700 8 1\n"
    "#S 38  Sr\n#N 3\n3000 3 3\n2000 2 2\n1000 5 5\n"
    "#S 98  Cf\n#N 3\n1 2 3\n2 3 4\n";

struct Interpolation {
  const char* symbol;
  double energy_ev;
  AnomalousTableOutcome outcome;
  double f1, f2;
};

TEST(AnomalousFactors, InterpolatesWithTheTableEdgeRules) {
  const Interpolation cases[] = {
      {"Ga", 1000, AnomalousTableOutcome::Interpolated, 10, 1},         // first row's energy: the first row
      {"Ga", 1500, AnomalousTableOutcome::Interpolated, 15, 1.5},
      {"Ga", 2000, AnomalousTableOutcome::Interpolated, 30, 6},         // two rows at one energy: the later
      {"Ga", 3000, AnomalousTableOutcome::Interpolated, 35, 5},         // between the later edge row and the next
      {"Ga", 500, AnomalousTableOutcome::OutsideTable, 5, 0.5},         // below: the line through the first two rows
      {"Ga", 4000, AnomalousTableOutcome::OutsideTable, 40, 4},         // at the last row: line through the last two
      {"Ga", 5000, AnomalousTableOutcome::OutsideTable, 45, 3},         // above: extrapolated, t > 1
      {"Ge", 100, AnomalousTableOutcome::Interpolated, 1, 2},           // the header line's rest is a data row
      {"As", 7500, AnomalousTableOutcome::Interpolated, 75, 7.5},       // a comment line's 80th character starts a piece
      {"Se", 500, AnomalousTableOutcome::OutsideTable, 5, 0.5},         // a single row gives its values
      {"Se", 9000, AnomalousTableOutcome::OutsideTable, 5, 0.5},
      {"Rb", 400, AnomalousTableOutcome::OutsideTable, 7, 9},           // below two rows of one energy: the second
      {"Sr", 1500, AnomalousTableOutcome::OutsideTable, 1.5, 1.5},      // descending: the first row above, row by row
      {"Cf", 1.5, AnomalousTableOutcome::Interpolated, 2.5, 3.5},
  };
  for (const Interpolation& c : cases) {
    SCOPED_TRACE(std::string(c.symbol) + " at " + std::to_string(c.energy_ev));
    double f1 = -1;
    double f2 = -1;
    std::string problem;
    EXPECT_EQ(AnomalousFromTable(kF1F2Table, Sym(c.symbol), c.energy_ev, f1, f2, &problem), c.outcome) << problem;
    EXPECT_DOUBLE_EQ(f1, c.f1);
    EXPECT_DOUBLE_EQ(f2, c.f2);
    EXPECT_EQ(problem.empty(), c.outcome == AnomalousTableOutcome::Interpolated) << problem;
    if (c.energy_ev == 5000) {
      EXPECT_EQ(problem, "energy 5000.000000 eV at or above the table's last row (4000.000000 eV); values extrapolated");
    }
  }
}

TEST(AnomalousFactors, AbsentAndUnusableRecordsWriteNothing) {
  struct Case {
    std::string table;
    const char* symbol;
    AnomalousTableOutcome outcome;
    const char* problem;
  } cases[] = {
      {kF1F2Table, "Xe", AnomalousTableOutcome::Absent, "no record for the element (searched up to the Cf record)"},
      {kF1F2Table, "Br", AnomalousTableOutcome::Unusable, "the data row after energy 500.000000 eV is not three numbers"},
      {"#S 31  Ga\n#N 3\n", "Ga", AnomalousTableOutcome::Unusable, "the record has no data row"},
      {"#S 31  Ga\n1 2 3\n4 5 6\n7 8", "Ga", AnomalousTableOutcome::Unusable,
       "the data row after energy 4.000000 eV is not three numbers"},
  };
  for (const Case& c : cases) {
    double f1 = -1;
    double f2 = -1;
    std::string problem;
    EXPECT_EQ(AnomalousFromTable(c.table, Sym(c.symbol), 450, f1, f2, &problem), c.outcome) << c.symbol;
    EXPECT_EQ(problem, c.problem) << c.symbol;
    EXPECT_EQ(f1, -1);
    EXPECT_EQ(f2, -1);
  }
}

TEST(AnomalousFactors, RowNumbersConvertAsTheCLibraryDoes) {
  // Numbers of every length and count of decimals, signed or not, with or
  // without an exponent, between any white space: at a row's energy its
  // values are the C library's conversions of its text, whether it is the
  // first row (read by the scanner) or a later one (the plain-number reader).
  std::mt19937 random(11);
  auto number = [&](int most_digits) {
    std::string text(random() % 4 == 0 ? "-" : "");
    for (int digits = 1 + random() % most_digits, point = random() % (most_digits + 1); digits > 0; --digits) {
      text += static_cast<char>('0' + random() % 10);
      if (digits == point) text += '.';
    }
    if (random() % 6 == 0) text += 'e', text += std::to_string(static_cast<int>(random() % 41) - 20);
    return text;
  };
  const char* const spaces[] = {" ", "\t", " \t ", "\v", "\f", "\r "};
  for (int trial = 0; trial < 3000; ++trial) {
    const std::string f1 = number(24), f2 = number(24), energy = number(15), space = spaces[random() % 6];
    const double energy_ev = std::strtod(energy.c_str(), nullptr);
    const std::string row = energy + space + f1 + space + f2 + "\n";
    if (!(energy_ev > 0) || row.size() > 79) continue;  // the scanner reads longer rows in pieces
    for (const std::string& rows : {row, "0 1 1\n" + row}) {
      double got_f1 = 0, got_f2 = 0;
      std::string problem;
      char next[40];  // a row close above: a row energy read wrong moves f1 and f2
      std::snprintf(next, sizeof next, "%.17g 0 0\n#S 98  Cf\n", 2 * energy_ev);
      AnomalousFromTable("#S 31  Ga\n" + rows + next, Sym("Ga"), energy_ev, got_f1, got_f2, &problem);
      ASSERT_EQ(got_f1, std::strtod(f1.c_str(), nullptr)) << rows;
      ASSERT_EQ(got_f2, std::strtod(f2.c_str(), nullptr)) << rows;
    }
  }
}

}  // namespace
}  // namespace xrd
