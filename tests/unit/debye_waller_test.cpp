// Thermal vibration: the Debye-Waller table read and interpolated as its
// rules say, exp(-B s^2) on F(hkl) and F(-h-k-l) alone, each structure's
// own B in a mix, B11 and B33 by the reflection's direction, and the stops.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "tests/support/test_tables_model.hpp"
#include "tests/unit/test_data.hpp"
#include "thermal/debye_waller_factor.hpp"
#include "thermal/debye_waller_table.hpp"
#include "xrdcalc/calculator.hpp"

namespace xrd {
namespace {

constexpr double kCuKa1 = 1.5405929;

DebyeWallerTable Read(const std::string& text) {
  std::string problem;
  std::optional<DebyeWallerTable> table = ReadDebyeWallerTable(text, &problem);
  EXPECT_TRUE(table) << problem;
  return table.value_or(DebyeWallerTable{});
}

TEST(DebyeWallerTable, ReadsRowsAndInterpolatesBetweenItsTemperatures) {
  const DebyeWallerTable table = Read("# a comment\n\ntemperatures 0 100\t300 1000\r\n"
                                      "GaNw Ga B11 K 0.1 0.2 0.5 1.5\nGaNw Ga B33 K 0.1 0.25 0.6 1.6\n"
                                      "  InSb\vIn B R 0.3 0.4 0.9\n");
  ASSERT_EQ(table.rows.size(), 3u);
  const DebyeWallerRow& across = *table.Find("GaNw", "Ga", DisplacementAxis::AcrossC);
  EXPECT_EQ(across.source, "K");
  EXPECT_EQ(table.Find("GaNw", "Ga", DisplacementAxis::Isotropic), nullptr);
  EXPECT_EQ(*BAt(table, across, 0.0), 0.1);
  EXPECT_DOUBLE_EQ(*BAt(table, across, 200.0), 0.35);
  EXPECT_DOUBLE_EQ(*BAt(table, *table.Find("GaNw", "Ga", DisplacementAxis::AlongC), 50.0), 0.175);
  EXPECT_EQ(*BAt(table, across, 1000.0), 1.5);
  const DebyeWallerRow& short_row = *table.Find("InSb", "In", DisplacementAxis::Isotropic);
  EXPECT_EQ(*BAt(table, short_row, 300.0), 0.9);
  EXPECT_FALSE(BAt(table, short_row, 300.5) || BAt(table, short_row, -1.0));
  EXPECT_EQ((std::array{table.HighestTemperature("InSb"), table.HighestTemperature("GaNw")}),
            (std::array{300.0, 1000.0}));
  EXPECT_FALSE(table.HasStructure("Si"));
  // A grid of one step throughout is indexed by division: the same answers.
  const DebyeWallerTable uniform = Read("temperatures 0 10 20 30\nSi Si B S 0.2 0.3 0.5 0.9\n");
  EXPECT_EQ(uniform.uniform_step_k, 10.0);
  for (const auto& [t, b] : {std::pair{0.0, 0.2}, {5.0, 0.25}, {10.0, 0.3}, {12.5, 0.35}, {29.0, 0.86},
                            {30.0, 0.9}}) {
    EXPECT_DOUBLE_EQ(*BAt(uniform, uniform.rows[0], t), b) << t;
  }
  EXPECT_FALSE(BAt(uniform, uniform.rows[0], 30.5));
}

TEST(DebyeWallerTable, RefusesWhatBreaksItsRules) {
  const std::string grid = "temperatures 0 10\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "no grid of temperatures"},
      {"temperature 0 10\n", "line 1: the first line must be \"temperatures\" and the grid"},
      {"temperatures 0\n", "line 1: the grid of temperatures has fewer than two temperatures"},
      {"temperatures 5 10\n", "line 1: the temperatures must rise from 0; \"5\" does not"},
      {"temperatures 0 10 10\n", "line 1: the temperatures must rise from 0; \"10\" does not"},
      {"temperatures 0 1e400\n", "line 1: the temperature \"1e400\" is not a finite number"},
      {grid + "Si Si B S 0.1\n",
       "line 2: a row is structure, element, B | B11 | B33, source and at least two values of B"},
      {grid + "si Si B S 0.1 0.2\n", "line 2: \"si\" is not a structure name"},
      {grid + "Si Sil B S 0.1 0.2\n", "line 2: \"Sil\" is not an element symbol"},
      {grid + "Si Si B22 S 0.1 0.2\n", "line 2: \"B22\" is not B, B11 or B33"},
      {grid + "Si Si B S 0.1 0.2 0.3\n", "line 2: the row has more values than the grid has temperatures"},
      {grid + "Si Si B S 0.1 0\n", "line 2: the B value \"0\" is not a positive, finite number"},
      {grid + "Si Si B S 0.1 0,2\n", "line 2: the B value \"0,2\" is not a positive, finite number"},
      {grid + "Si Si B S 0.1 0.2\nSi Si B T 0.1 0.2\n", "Si of Si has more than one row of one kind"},
      {grid + "Si Si B11 S 0.1 0.2\n", "Si of Si has one of B11 and B33 without the other"},
      {grid + "Si Si B S 0.1 0.2\nSi Si B33 S 0.1 0.2\n", "Si of Si has both B and B11 or B33"},
  };
  for (const auto& [text, expected] : cases) {
    std::string problem;
    EXPECT_FALSE(ReadDebyeWallerTable(text, &problem)) << text;
    EXPECT_EQ(problem, expected) << text;
  }
}

TEST(DebyeWallerFactor, DampsByTheShareOfTheScatteringVectorAlongC) {
  const double s = 0.3;
  EXPECT_DOUBLE_EQ(DebyeWallerFactor({0.5, 0.5}, s, 0.7), std::exp(-0.5 * s * s));
  const ThermalDisplacement hexagonal{0.4, 1.2};
  EXPECT_DOUBLE_EQ(DebyeWallerFactor(hexagonal, s, 0.0), std::exp(-0.4 * s * s));
  EXPECT_DOUBLE_EQ(DebyeWallerFactor(hexagonal, s, 1.0), std::exp(-1.2 * s * s));
  EXPECT_DOUBLE_EQ(DebyeWallerFactor(hexagonal, s, 0.25), std::exp(-(0.75 * 0.4 + 0.25 * 1.2) * s * s));
  // (l/c)^2 over 1/d^2, and 0 for the 000 reflection.
  EXPECT_EQ((std::array{AlongCShare(2.0, 4.0, 0.25), AlongCShare(2.0, 4.0, 1.0), AlongCShare(0.0, 5.0, 0.5),
                        AlongCShare(0.0, 5.0, 0.0)}), (std::array{1.0, 0.25, 0.0, 0.0}));
}

RunInput Reflection(const std::string& formula, double h, double k, double l) {
  return {.lambda_angstrom = kCuKa1, .h = h, .k = k, .l = l, .formula = formula};
}

double SquaredS(const Result& r) { return std::pow(std::sin(r.bragg_angle_deg() * M_PI / 180) / kCuKa1, 2); }

// GaAs 002 at 200 K, between the grid's 100 and 300 K: B = 0.5 for Ga and
// 0.425 for As on each f in F(hkl) and F(-h-k-l) of the tables' model; the
// sums of f1 and f2, and so chi0, see no vibration.
TEST(ThermalVibration, DampsEachElementsFactorInTheStructureFactorsAlone) {
  const Calculator calc(testing::TestDataDirectory());
  RunInput run = Reflection("GaAs", 0, 0, 2);
  const Result cold = calc.compute(run);
  run.temperature_k = 200.0;
  const Result warm = calc.compute(run);
  const testing::Sums expected =
      testing::StructureSums("GaAs", 0, 0, 2, cold.bragg_angle_deg(), kCuKa1, {{"Ga", 0.5}, {"As", 0.425}});
  EXPECT_NEAR(std::abs(warm.f_plus - expected.f_plus), 0.0, 1e-12 * std::abs(expected.f_plus));
  EXPECT_NEAR(std::abs(warm.f_minus - expected.f_minus), 0.0, 1e-12 * std::abs(expected.f_plus));
  EXPECT_NE(warm.f_plus, cold.f_plus);
  EXPECT_EQ((std::array{warm.sum_f1, warm.sum_f2}), (std::array{cold.sum_f1, cold.sum_f2}));
  EXPECT_EQ(warm.chi0(), cold.chi0());
}

TEST(ThermalVibration, GivenBFactorsTakePrecedenceAndNoneLeavesEveryBit) {
  const Calculator calc(testing::TestDataDirectory());
  RunInput run = Reflection("Si", 0, 0, 4);
  const Result plain = calc.compute(run);
  run.b_factors = {{"Si", 0.0}};
  EXPECT_EQ(calc.compute(run).values(), plain.values());
  run.temperature_k = 300.0;  // the table's 0.45 is overridden
  EXPECT_EQ(calc.compute(run).values(), plain.values());
  run.b_factors = {{"Si", 0.45}};
  const Result given = calc.compute(run);
  run.b_factors.clear();
  EXPECT_EQ(calc.compute(run).values(), given.values());
  EXPECT_NEAR(std::abs(given.f_plus) / std::abs(plain.f_plus), std::exp(-0.45 * SquaredS(plain)), 1e-14);
}

// At 300 K As vibrates more in InAs (B = 0.7) than in GaAs (0.55): the mix
// averages the two structures' own damped factors.
TEST(ThermalVibration, AMixDampsEachStructureByItsOwnB) {
  const Calculator calc(testing::TestDataDirectory());
  const auto at_300_k = [&](const char* formula) {
    RunInput run = Reflection(formula, 0, 0, 2);
    run.temperature_k = 300.0;
    return calc.compute(run).f_plus;
  };
  const std::complex<double> expected = (at_300_k("GaAs") + at_300_k("InAs")) / 2.0;
  EXPECT_NEAR(std::abs(at_300_k("Ga1In1As") - expected), 0.0, 1e-12 * std::abs(expected));
}

// The messages of the stops; those at -3 K, above GaAs's 1000 K and for InP,
// which has no B, are the program's too (Run.TemperatureDampsAsTheLibraryDoes).
TEST(ThermalVibration, StopsWhereNoBIsKnownOrTheInputIsUnusable) {
  const Calculator calc(testing::TestDataDirectory());
  const struct {
    const char* formula;
    std::optional<double> temperature_k;
    std::map<std::string, double> b_factors;
    std::string message;
  } cases[] = {
      {"Si", INFINITY, {}, "the temperature is +INF; it must be a finite number of kelvin from 0 on"},
      {"InAs", 301.0, {}, "the Debye-Waller table gives the B of In in InAs up to 300 K, not at 301 K"},
      {"GaAs", std::nullopt, {{"Ga", 0.5}},
       "B factors are given, but none for As in GaAs; give every element's B, or a temperature to take the "
       "others from the Debye-Waller table"},
      {"GaAs", 300.0, {{"In", 0.5}}, "a B factor is given for In, which is not an element of \"GaAs\""},
      {"GaAs", 300.0, {{"ga", 0.5}}, "a B factor is given for \"ga\", which is not an element symbol"},
      {"GaAs", 300.0, {{"Ga", -0.1}},
       "the B factor of Ga is -0.1; it must be a finite number of square angstroms from 0 on"},
  };
  for (const auto& c : cases) {
    RunInput run = Reflection(c.formula, 0, 0, 4);
    run.temperature_k = c.temperature_k;
    run.b_factors = c.b_factors;
    EXPECT_EQ(testing::ErrorOf([&] { calc.compute(run); }), c.message);
  }
}

// A hexagonal crystal whose two elements vibrate alike, three times as much
// along c as across it: the damping of a reflection depends on its direction.
TEST(ThermalVibration, HexagonalCrystalsDampAcrossAndAlongC) {
  const testing::ScratchDirectory base("xrdcalc-dw", true);
  base.Write("GaAsw.stf", "test wurtzite\n2,186,Ga,As\n4.0,0.25,4.0,6.5,90,90,120\nGa\n2\n"
                          "0.3333333333, 0.6666666667, 0\n0.6666666667, 0.3333333333, 0.5\nAs\n2\n"
                          "0.3333333333, 0.6666666667, 0.375\n0.6666666667, 0.3333333333, 0.875\n");
  base.Write("debye_waller.dat", "temperatures 0 1000\nGaAsw Ga B11 T 0.3 0.3\nGaAsw Ga B33 T 0.9 0.9\n"
                                 "GaAsw As B11 T 0.3 0.3\nGaAsw As B33 T 0.9 0.9\n");
  const Calculator calc(base.path());
  const double a = 4.0, c = 6.5;
  for (const auto& [h, k, l] : {std::array{0.0, 0.0, 2.0}, {1.0, 1.0, 0.0}, {1.0, 0.0, 2.0}}) {
    RunInput run = Reflection("GaAsw", h, k, l);
    const Result plain = calc.compute(run);
    run.temperature_k = 500.0;
    const double inverse_d2 = 4.0 / 3.0 * (h * h + h * k + k * k) / (a * a) + l * l / (c * c);
    const double along = (l * l / (c * c)) / inverse_d2;
    const double b = 0.3 * (1.0 - along) + 0.9 * along;
    const double ratio = std::abs(calc.compute(run).f_plus) / std::abs(plain.f_plus);
    EXPECT_NEAR(ratio, std::exp(-b * SquaredS(plain)), 1e-13) << h << k << l;
  }
}

}  // namespace
}  // namespace xrd
