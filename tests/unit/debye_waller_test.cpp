// Thermal vibration: the Debye-Waller table read and interpolated as its
// rules say, exp(-B s^2) on F(hkl) and F(-h-k-l) alone, each structure's
// own B in a mix, B11 and B33 by the reflection's direction, and the stops.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "test_data.hpp"
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
  const DebyeWallerTable table = Read(
      "# a comment\n\ntemperatures 0 100\t300 1000\r\n"
      "GaNw Ga B11 K 0.1 0.2 0.5 1.5\nGaNw Ga B33 K 0.1 0.25 0.6 1.6\n  InSb\vIn B R 0.3 0.4 0.9\n");
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
  EXPECT_FALSE(BAt(table, short_row, 300.5));
  EXPECT_FALSE(BAt(table, short_row, -1.0));
  EXPECT_EQ(table.HighestTemperature("InSb"), 300.0);
  EXPECT_EQ(table.HighestTemperature("GaNw"), 1000.0);
  EXPECT_FALSE(table.HasStructure("Si"));
  // A grid of one step throughout is indexed by division: the same answers.
  const DebyeWallerTable uniform = Read("temperatures 0 10 20 30\nSi Si B S 0.2 0.3 0.5 0.9\n");
  EXPECT_EQ(uniform.uniform_step_k, 10.0);
  const DebyeWallerRow& si = uniform.rows[0];
  for (const auto& [t, b] : {std::pair{0.0, 0.2}, {5.0, 0.25}, {10.0, 0.3}, {12.5, 0.35}, {29.0, 0.86}, {30.0, 0.9}}) {
    EXPECT_DOUBLE_EQ(*BAt(uniform, si, t), b) << t;
  }
  EXPECT_FALSE(BAt(uniform, si, 30.5));
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
      {grid + "Si Si B S 0.1\n", "line 2: a row is structure, element, B | B11 | B33, source and at least two "
                                 "values of B"},
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
  EXPECT_DOUBLE_EQ(AlongCShare(2.0, 5.0, 0.16), 1.0);
  EXPECT_DOUBLE_EQ(AlongCShare(2.0, 5.0, 0.64), 0.25);
  EXPECT_EQ(AlongCShare(0.0, 5.0, 0.5), 0.0);
  EXPECT_EQ(AlongCShare(0.0, 5.0, 0.0), 0.0);  // the 000 reflection
}

RunInput Reflection(const std::string& formula, double h, double k, double l) {
  RunInput run;
  run.lambda_angstrom = kCuKa1;
  run.h = h;
  run.k = k;
  run.l = l;
  run.formula = formula;
  return run;
}

double SquaredS(const Result& r) {
  const double s = std::sin(r.bragg_angle_deg() * M_PI / 180.0) / r.lambda_angstrom;
  return s * s;
}

// f0(s) + f1 - f0(0) + i f2 of an element, assembled from the calculator's factors.
std::complex<double> ScatteringFactor(const Calculator& calc, const char* element, double s) {
  const AnomalousFactors anomalous = calc.anomalous_factors(element, PhotonEnergyOf(kCuKa1));
  return {calc.form_factor(element, s) + anomalous.f1 - calc.form_factor(element, 0.0), anomalous.f2};
}

TEST(ThermalVibration, DampsEachElementsFactorInTheStructureFactorsAlone) {
  const Calculator calc(testing::TestDataDirectory());
  RunInput run = Reflection("GaAs", 0, 0, 2);
  const Result cold = calc.compute(run);
  run.temperature_k = 200.0;  // between the grid's 100 and 300 K
  const Result warm = calc.compute(run);
  const double s2 = SquaredS(cold);
  // GaAs of the test tables: Ga at 0 0 0, As at 0.1 0.25 0.4.
  const std::complex<double> phase = std::polar(1.0, 2.0 * M_PI * 2.0 * 0.4);
  const std::complex<double> f_ga = ScatteringFactor(calc, "Ga", std::sqrt(s2));
  const std::complex<double> f_as = ScatteringFactor(calc, "As", std::sqrt(s2));
  const std::complex<double> expected = f_ga * std::exp(-0.5 * s2) + f_as * std::exp(-0.425 * s2) * phase;
  EXPECT_NEAR(std::abs(warm.f_plus - expected), 0.0, 1e-12 * std::abs(expected));
  const std::complex<double> expected_minus =
      f_ga * std::exp(-0.5 * s2) + f_as * std::exp(-0.425 * s2) * std::conj(phase);
  EXPECT_NEAR(std::abs(warm.f_minus - expected_minus), 0.0, 1e-12 * std::abs(expected));
  EXPECT_NE(warm.f_plus, cold.f_plus);
  // The sums of f1 and f2, and so chi0, see no vibration.
  EXPECT_EQ(warm.sum_f1, cold.sum_f1);
  EXPECT_EQ(warm.sum_f2, cold.sum_f2);
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

TEST(ThermalVibration, AMixDampsEachStructureByItsOwnB) {
  const Calculator calc(testing::TestDataDirectory());
  RunInput run = Reflection("Ga1In1As", 0, 0, 2);
  run.temperature_k = 300.0;
  const Result mix = calc.compute(run);
  run.formula = "GaAs";
  const Result gaas = calc.compute(run);
  run.formula = "InAs";
  const Result inas = calc.compute(run);  // As vibrates more in InAs (0.7 at 300 K) than in GaAs (0.55)
  const std::complex<double> expected = (1.0 * gaas.f_plus) / 2.0 + (1.0 * inas.f_plus) / 2.0;
  EXPECT_NEAR(std::abs(mix.f_plus - expected), 0.0, 1e-12 * std::abs(expected));
}

TEST(ThermalVibration, StopsWhereNoBIsKnownOrTheInputIsUnusable) {
  const Calculator calc(testing::TestDataDirectory());
  const std::string table = std::string(testing::TestDataDirectory()) + "/debye_waller.dat";
  struct Case {
    const char* formula;
    std::optional<double> temperature_k;
    std::map<std::string, double> b_factors;
    std::string message;
  };
  const Case cases[] = {
      {"Si", -1.0, {}, "the temperature is -1; it must be a finite number of kelvin from 0 on"},
      {"Si", INFINITY, {}, "the temperature is +INF; it must be a finite number of kelvin from 0 on"},
      {"Si", 1000.5, {}, "the Debye-Waller table gives the B of Si in Si up to 1000 K, not at 1000.5 K"},
      {"InAs", 301.0, {}, "the Debye-Waller table gives the B of In in InAs up to 300 K, not at 301 K"},
      {"InP", 300.0, {}, "the Debye-Waller table " + table + " has no B for In in InP; at a temperature every "
                         "element needs one (the library and the Python module also take B factors given per "
                         "element)"},
      {"GaAs", std::nullopt, {{"Ga", 0.5}}, "B factors are given, but none for As in GaAs; give every "
                                            "element's B, or a temperature to take the others from the "
                                            "Debye-Waller table"},
      {"GaAs", 300.0, {{"In", 0.5}}, "a B factor is given for In, which is not an element of \"GaAs\""},
      {"GaAs", 300.0, {{"ga", 0.5}}, "a B factor is given for \"ga\", which is not an element symbol"},
      {"GaAs", 300.0, {{"Ga", -0.1}}, "the B factor of Ga is -0.1; it must be a finite number of square "
                                      "angstroms from 0 on"},
  };
  for (const Case& c : cases) {
    RunInput run = Reflection(c.formula, 0, 0, 4);
    run.temperature_k = c.temperature_k;
    run.b_factors = c.b_factors;
    try {
      calc.compute(run);
      ADD_FAILURE() << "no stop: " << c.message;
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()), c.message);
    }
  }
}

// A hexagonal crystal whose two elements vibrate alike, three times as much
// along c as across it: the damping of a reflection depends on its direction.
TEST(ThermalVibration, HexagonalCrystalsDampAcrossAndAlongC) {
  namespace fs = std::filesystem;
  const fs::path base = fs::temp_directory_path() / ("xrdcalc-dw-" + std::to_string(::getpid()));
  fs::create_directories(base);
  for (const char* table : {"f0_xop.dat", "f1f2.dat"}) {
    fs::copy_file(fs::path(testing::TestDataDirectory()) / table, base / table, fs::copy_options::overwrite_existing);
  }
  std::ofstream(base / "GaAsw.stf") << "test wurtzite\n2,186,Ga,As\n4.0,0.25,4.0,6.5,90,90,120\nGa\n2\n"
                                       "0.3333333333, 0.6666666667, 0\n0.6666666667, 0.3333333333, 0.5\nAs\n2\n"
                                       "0.3333333333, 0.6666666667, 0.375\n0.6666666667, 0.3333333333, 0.875\n";
  std::ofstream(base / "debye_waller.dat") << "temperatures 0 1000\nGaAsw Ga B11 T 0.3 0.3\n"
                                              "GaAsw Ga B33 T 0.9 0.9\nGaAsw As B11 T 0.3 0.3\n"
                                              "GaAsw As B33 T 0.9 0.9\n";
  const Calculator calc(base.string());
  const double a = 4.0;
  const double c = 6.5;
  for (const auto& [h, k, l] : {std::array{0.0, 0.0, 2.0}, std::array{1.0, 1.0, 0.0}, std::array{1.0, 0.0, 2.0}}) {
    RunInput run = Reflection("GaAsw", h, k, l);
    const Result plain = calc.compute(run);
    run.temperature_k = 500.0;
    const Result warm = calc.compute(run);
    const double inverse_d2 = 4.0 / 3.0 * (h * h + h * k + k * k) / (a * a) + l * l / (c * c);
    const double along = (l * l / (c * c)) / inverse_d2;
    const double b = 0.3 * (1.0 - along) + 0.9 * along;
    EXPECT_NEAR(std::abs(warm.f_plus) / std::abs(plain.f_plus), std::exp(-b * SquaredS(plain)), 1e-13)
        << h << k << l;
  }
  fs::remove_all(base);
}

}  // namespace
}  // namespace xrd
