// f0 and f1/f2 records read from table text by the reading rules.
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

// A record, "#" lines a to g (the ninth '#' ends g), and its coefficient line.
std::string F0Record(const char* header, const std::string& data) {
  return std::string(header) + "\n#N 11\n#a\n#b\n#c\n#d\n#e\n#f\n#g\n#UP MPFIT " + data + "\n";
}

// f0 of `symbol` at s, or its problem: c + a1 exp(-b1 s^2) + ..., summed
// from c upwards, each exponent formed as (-b s) s; the tenth '#' of the
// record is followed by the literal, whose blanks match any white space.
TEST(FormFactor, ReadsTheTenthHashRecordAndSumsFromTheConstantUpward) {
  const std::string table =
      "#F test\n#S  6  C\n#N 11\n#a\n#b\n#c note with # inside\n#d\n#e\n#f\n#UP MPFIT guess (Waasmaier&Kirfel) data: "
      "2.657506,1.078079,1.490909,-4.241070,0.713791,4.297983,14.780758,0.776775,42.086842,-0.000294,0.239535\n" +
      F0Record("#S 14  Si", "guess (Waasmaier&Kirfel) data: 1, 2,\n 3,4,5,0.5,1,2,3,4,5") +
      F0Record("#S 15  P", "guess(Waasmaier&Kirfel)data:1,2,3,4,5,6,1,1,1,1,1") +
      F0Record("#S 16  S", "wrong text: 1,2,3,4,5,6,1,1,1,1,1") +
      F0Record("#S 17  Cl", "guess (Waasmaier&Kirfel) data: 1 2 3 4 5 6 1 1 1 1 1") +
      F0Record("#S 98  Cf", "guess (Waasmaier&Kirfel) data: 1,1,1,1,1,1,0,0,0,0,0") +
      F0Record("#S 99  Es", "guess (Waasmaier&Kirfel) data: 1,1,1,1,1,1,0,0,0,0,0");
  double si = 0.5;
  for (int i = 1; i <= 5; ++i) si += i * std::exp((-i * 0.3) * 0.3);
  const struct { std::string text; const char* symbol; double s, f0; std::string problem; } cases[] = {
      {table, "Si", 0.0, 0.5 + 1 + 2 + 3 + 4 + 5, ""}, {table, "Si", 0.3, si, ""},  // a number on the next line
      {table, "C", 0.0, ((((4.297983 + 2.657506) + 1.078079) + 1.490909) + -4.241070) + 0.713791, ""},  // '#' in a comment
      {table, "P", 0.0, 21.0, ""}, {table, "Cf", 0.25, 6.0, ""},  // the end record itself is found
      {table, "Es", 0, 0, "no record for the element (searched up to the Cf record)"},
      {table, "Xx", 0, 0, "no record for the element (searched up to the Cf record)"},
      {table, "S", 0, 0, "the tenth '#' is not followed by \"UP MPFIT guess (Waasmaier&Kirfel) data: \""},
      {table, "Cl", 0, 0, "the coefficients are not eleven numbers, the first ten each followed by a comma"},
      {"#S  1  H\n# # #\n#S 98  Cf", "H", 0, 0, "the record ends before its tenth '#'"},
  };
  for (const auto& c : cases) {
    std::string problem;
    const auto coefficients = ReadFormFactorRecord(c.text, ScanRecordHeaders(c.text), Sym(c.symbol), &problem);
    EXPECT_EQ(coefficients.has_value(), c.problem.empty()) << c.symbol;
    EXPECT_EQ(coefficients ? EvaluateFormFactor(*coefficients, c.s) : 0.0, c.f0) << c.symbol;
    EXPECT_EQ(problem, c.problem) << c.symbol;
  }
}

// f1, f2 and the problem (empty inside the table) of `symbol` at `energy_ev`;
// f1 = f2 = -1 where nothing is written.
struct Anomalous {
  double f1 = -1, f2 = -1;
  std::string problem;
  bool operator==(const Anomalous&) const = default;
};
Anomalous FromTable(std::string_view table, const char* symbol, double energy_ev) {
  Anomalous a;
  const auto record = ReadAnomalousRecord(table, ScanRecordHeaders(table), Sym(symbol), &a.problem);
  if (record && !record->present) a.problem = "absent";
  if (record && record->present) InterpolateAnomalous(*record, energy_ev, a.f1, a.f2, &a.problem);
  return a;
}

// f1 and f2 on the line through the rows around the energy (the later of
// two rows at one energy, the end rows outside the table, saying so; in rows
// out of order, the first row above the energy and the one before it);
// records after Cf, rows that are not three numbers and tables cut short
// are refused with their problem.
TEST(AnomalousFactors, InterpolatesWithTheEdgeRulesAndRefusesUnusableRecords) {
  const std::string table =
      "#F test\n#S 31  Ga\n#N 3\n#L E f1 f2\n1000 10 1\n2000 20 2\n2000 30 6\n4000 40 4\n"  // an edge at 2000
      "#S 32  Ge 100 1 2\n500 3 4\n#S 33  As\n#" + std::string(78, 'c') + "7000 70 7\n8000 80 8\n"
      "#S 34  Se\n#N 3\n500 5 0.5\n#S 35  Br\n#N 3\n500 5 0.5\n600 6\n#S 36  Kr\n"
      "#S 37  Rb\n#N 3\n500 5 5\n500 7 9\n700 8 1\n#S 38  Sr\n#N 3\n3000 4 3\n2000 2 2\n1000 5 5\n"
      "#S 39  Y\n1000 1 1\n3000 3 5\n2000 2 2\n4000 4 4\n"
      "#S 98  Cf\n#N 3\n1 2 3\n2 3 4\n";
  const auto outside = [](const char* where) { return "energy " + std::string(where); };
  // A row after plain ones in another form, and a signed energy with an exponent.
  const std::string rows = "#S 31  Ga\n-3e4 0 0\n-12.5e3 1 1\n1000 2 2\n2000 3 3\n+4000 4 4\n#S 98  Cf\n";
  const struct { std::string table; const char* symbol; double energy_ev; Anomalous expected; } cases[] = {
      {table, "Ga", 1000, {10, 1, ""}},  // the first row's energy: the first row
      {table, "Ga", 1500, {15, 1.5, ""}},
      {table, "Ga", 2000, {30, 6, ""}},  // two rows at one energy: the later
      {table, "Ga", 3000, {35, 5, ""}},  // between the later edge row and the next
      {table, "Ga", 500, {5, 0.5, outside("500.000000 eV below the table's first row (1000.000000 eV); values extrapolated")}},
      {table, "Ga", 4000, {40, 4, outside("4000.000000 eV at or above the table's last row (4000.000000 eV); values extrapolated")}},
      {table, "Ga", 5000, {45, 3, outside("5000.000000 eV at or above the table's last row (4000.000000 eV); values extrapolated")}},
      {table, "Ge", 100, {1, 2, ""}},      // the rest of the header line is a data row
      {table, "As", 7500, {75, 7.5, ""}},  // a comment line's 80th character starts a piece, and a row
      {table, "Se", 9000, {5, 0.5, outside("9000.000000 eV outside the table's only row (500.000000 eV); that row's values used")}},
      {table, "Rb", 400, {7, 9, outside("400.000000 eV below the table's first row (500.000000 eV); values extrapolated")}},
      {table, "Sr", 1500, {1, 1.5, outside("1500.000000 eV below the table's first row (3000.000000 eV); values extrapolated")}},
      {table, "Y", 1500, {1.5, 2, ""}},  // rows out of order: the first row above the energy and the one before
      {table, "Y", 3500, {3.5, 3.5, ""}},
      {table, "Cf", 1.5, {2.5, 3.5, ""}},
      {table, "Xe", 450, {-1, -1, "absent"}},  // after the Cf record
      {table, "Br", 450, {-1, -1, "the data row after energy 500.000000 eV is not three numbers"}},
      {"#S 31  Ga\n#N 3\n", "Ga", 450, {-1, -1, "the record has no data row"}},
      {"#S 31  Ga\n1 2 3\n. . .\n#S 98  Cf\n", "Ga", 450,  // a point alone is no number
       {-1, -1, "the data row after energy 1.000000 eV is not three numbers"}},
      {"#S 31  Ga\n1 2 3\n4 5 6\n7 8", "Ga", 450, {-1, -1, "the data row after energy 4.000000 eV is not three numbers"}},
      {rows, "Ga", -12500, {1, 1, ""}},
      {rows, "Ga", 3000, {3.5, 3.5, ""}},
      {"#S 31  Ga\n1000 1 1\n1e400 9 9\n#S 98  Cf\n", "Ga", 2000, {1, 1, ""}},  // +inf
      {"#S 31  Ga\n1 2 3\n4 5 6\n", "Ga", 450,
       {-1, -1, "no Cf end record after the element's record: the table is cut short"}},
  };
  for (const auto& c : cases) {
    const Anomalous got = FromTable(c.table, c.symbol, c.energy_ev);
    EXPECT_EQ(got, c.expected) << c.symbol << " at " << c.energy_ev << ": " << got.f1 << " " << got.f2 << " " << got.problem;
  }
  // A number that ends the text ends there, whatever follows the text in memory ("2e1", not "2e15").
  const std::string followed = "#S 98  Cf\n1 1 1\n2 2 2e15 ";
  const std::string_view text = std::string_view(followed).substr(0, followed.size() - 2);
  EXPECT_EQ(FromTable(text, "Cf", 1.5), (Anomalous{1.5, 10.5, ""}));
}

// A row's three numbers may take any form "%lf" reads (every length and
// count of decimals, a sign, an exponent) between any white space: at the
// row's energy, f1 and f2 are the C library's conversions of their text,
// whether the row is the first (read by the scanner) or a later one.
TEST(AnomalousFactors, RowsHoldNumbersInAnyFormTheCLibraryReads) {
  std::mt19937 random(11);
  auto number = [&](int most_digits) {
    std::string text(random() % 4 == 0 ? "-" : random() % 4 == 0 ? "+" : "");
    for (int digits = 1 + random() % most_digits, point = random() % (most_digits + 1); digits > 0; --digits) {
      text += static_cast<char>('0' + random() % 10);
      if (digits == point) text += '.';
    }
    if (random() % 6 == 0) text += "eE"[random() % 2], text += std::to_string(static_cast<int>(random() % 41) - 20);
    return text;
  };
  const char* const spaces[] = {" ", "\t", " \t ", "\v", "\f", "\r "};
  for (int trial = 0; trial < 3000; ++trial) {
    const std::string f1 = number(24), f2 = number(24), energy = number(20), space = spaces[random() % 6];
    const double energy_ev = std::strtod(energy.c_str(), nullptr);
    const std::string row = energy + space + f1 + space + f2 + "\n";
    if (!(energy_ev > 0) || row.size() > 79) continue;  // the scanner reads longer rows in pieces
    char next[40];  // a row close above: a row energy read wrong moves f1 and f2
    std::snprintf(next, sizeof next, "%.17g 0 0\n#S 98  Cf\n", 2 * energy_ev);
    for (const std::string& rows : {row, "0 1 1\n" + row}) {
      const Anomalous got = FromTable("#S 31  Ga\n" + rows + next, "Ga", energy_ev);
      ASSERT_EQ(got.f1, std::strtod(f1.c_str(), nullptr)) << rows;
      ASSERT_EQ(got.f2, std::strtod(f2.c_str(), nullptr)) << rows;
    }
  }
}

}  // namespace
}  // namespace xrd
