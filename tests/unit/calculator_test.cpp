// The library's calculator on the small test tables.
#include "xrdcalc/calculator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <thread>

#include "tests/support/test_tables_model.hpp"
#include "tests/unit/test_data.hpp"

namespace xrd {
namespace {

namespace fs = std::filesystem;

const RunInput kGaAs004{.lambda_angstrom = 1.0, .h = 0, .k = 0, .l = 4, .formula = "GaAs"};

// The structures are listed, and a computation leaves no file open (fitting
// loops never end); without a directory the calculator takes the Base/
// beside the library.
TEST(Calculator, ListsItsStructuresAndKeepsNoFileOpen) {
  const auto open_descriptors = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
  const Calculator calculator(testing::TestDataDirectory());
  const auto before = open_descriptors();
  EXPECT_EQ(calculator.structures(), (std::vector<std::string>{"BN", "Ga", "GaAs", "Gab", "Gas", "He", "In", "InAs",
                                                               "InP", "Q", "Si", "Tri"}));
  calculator.compute(kGaAs004);
  EXPECT_EQ(open_descriptors(), before);
  EXPECT_TRUE(fs::is_directory(Calculator().data_directory()));  // the source tree's Base/ here
}

// f0 and f1, f2 as the tables give them, by exact symbol only: a
// structure's name, a full name or a symbol with more after it is an error
// naming it, never an element read from its first two characters.
TEST(Calculator, GivesAnElementsFactorsByItsExactSymbol) {
  const Calculator calculator(testing::TestDataDirectory());
  EXPECT_NEAR(calculator.form_factor("Ga", 0.3), testing::Elements().at("Ga").F0(0.3), 1e-13);
  EXPECT_EQ(calculator.form_factor("Ga", 0.0), 31.0);
  const AnomalousFactors factors = calculator.anomalous_factors("Ga", 12683.5);
  EXPECT_NEAR(factors.f1, 28.0, 1e-12);  // halfway between the rows at 10367 and 15000 eV
  EXPECT_NEAR(factors.f2, 2.9, 1e-12);
  EXPECT_TRUE(factors.warnings.empty());
  const AnomalousFactors he = calculator.anomalous_factors("He", 8000.0);  // in the f0 table only
  EXPECT_EQ((std::array{he.f1, he.f2}), (std::array{2.0, 0.0}));
  EXPECT_EQ(he.warnings, std::vector<std::string>{testing::TestDataDirectory() + std::string(
                             "/f1f2.dat: element He: no record for the element (searched up to the Cf record); no "
                             "anomalous correction, f1 = f0(0), f2 = 0")});
  for (const char* name : {"GaAs", "Gallium", "Ga1", "ga", "GA", "", "Ga ", " Ga", "1"}) {
    EXPECT_THROW(calculator.anomalous_factors(name, 10000.0), Error) << name;
    EXPECT_EQ(testing::ErrorOf([&] { calculator.form_factor(name, 0.0); }),
              "element \"" + std::string(name) + "\" is not an element symbol (an upper-case letter and at most one "
              "lower-case one, as Ga or N)");
  }
}

// Left at its defaults a run description takes the structures' lattices
// and angles at scale 1. A lattice is 0 0 0 or three positive, finite
// numbers, the wavelength is positive and finite, the Miller indices are
// whole and the reflection within reach (lambda <= 2d, 2d = 2.5 angstrom
// for GaAs 004 here) unless an angle is given.
TEST(Calculator, TakesRunDescriptionsWithTheirDefaultsAndLimits) {
  const Calculator calculator(testing::TestDataDirectory());
  const RunInput defaults{.lambda_angstrom = 1.0, .h = 1, .k = 2, .l = 3, .formula = "Ga7In3As"};
  const RunInput stated{.a = 0, .b = 0, .c = 0, .value4 = 0, .value5 = 0, .value6 = 0, .lambda_angstrom = 1.0,
                        .h = 1, .k = 2, .l = 3, .theta_degrees = 0, .formula = "Ga7In3As", .scale = 1.0};
  const Result by_default = calculator.compute(defaults);
  EXPECT_EQ(by_default.values(), calculator.compute(stated).values());
  EXPECT_EQ(by_default.a, 0.7 * 5.0 + 0.3 * 6.0);
  EXPECT_DOUBLE_EQ(by_default.d_spacing(), (0.7 * 5.0 + 0.3 * 6.0) / std::sqrt(14.0));  // of the weighted lattice
  const double nan = std::nan(""), inf = INFINITY;
  for (const auto& [a, b, c, lambda] : {std::array{5.0, 0.0, 0.0, 1.0}, {-5.0, -5.0, -5.0, 1.0}, {nan, 5.0, 5.0, 1.0},
                                        {5.0, 5.0, inf, 1.0}, {1e200, 1e200, 1e200, 1.0}, {0.0, 0.0, 0.0, 0.0},
                                        {0.0, 0.0, 0.0, -1.0}, {0.0, 0.0, 0.0, nan}, {0.0, 0.0, 0.0, inf}}) {
    RunInput run = defaults;
    run.a = a, run.b = b, run.c = c, run.lambda_angstrom = lambda;
    EXPECT_THROW(calculator.compute(run), Error) << a << " " << b << " " << c << " " << lambda;
  }
  const std::string out_of_reach = "the reflection 0 0 4 of GaAs is out of reach at a wavelength of 2.6 angstrom: its "
                                   "spacing d is 1.25 angstrom, and the wavelength must be at most 2d = 2.5 angstrom";
  const struct { RunInput run; std::string message; } cases[] = {
      {{.lambda_angstrom = 1, .h = 0, .k = 0, .l = 4.5, .formula = "GaAs"},
       "the Miller indices are 0 0 4.5; they must be whole numbers"},
      {{.lambda_angstrom = 1, .h = nan, .k = 0, .l = 4, .formula = "GaAs"},
       "the Miller indices are +NAN 0 4; they must be whole numbers"},
      {{.lambda_angstrom = 1, .h = 0, .k = -inf, .l = 4, .formula = "GaAs"},
       "the Miller indices are 0 -INF 4; they must be whole numbers"},
      {{.lambda_angstrom = 1, .h = 0, .k = 0, .l = -1e20, .formula = "GaAs"},  // whole, far out of reach
       "the reflection 0 0 -1e+20 of GaAs is out of reach at a wavelength of 1 angstrom: its spacing d is 5e-20 "
       "angstrom, and the wavelength must be at most 2d = 1e-19 angstrom"},
      {{.lambda_angstrom = 2.6, .h = 0, .k = 0, .l = 4, .formula = "GaAs"}, out_of_reach},
      {{.lambda_angstrom = 2.6, .h = 0, .k = 0, .l = 4, .formula = "In3Ga7As"}, out_of_reach},  // InAs: 2d = 3
      {{.lambda_angstrom = 2.6, .h = 0, .k = 0, .l = 4, .mix = {{"InAs", 1}, {"GaAs", 1e-9}}}, out_of_reach},
      {{.lambda_angstrom = 1, .h = 0, .k = 0, .l = 4, .formula = "GaAs", .mix = {{"GaAs", 1}}},
       "a run has a formula or a mix, not both"},
  };
  for (const auto& c : cases) EXPECT_EQ(testing::ErrorOf([&] { calculator.compute(c.run); }), c.message);
  const Result at_90_degrees = calculator.compute({.lambda_angstrom = 2.5, .h = 0, .k = 0, .l = 4, .formula = "GaAs"});
  EXPECT_EQ(at_90_degrees.bragg_angle_deg(), 90.0);
  EXPECT_TRUE(at_90_degrees.math_errors.empty());
  const Result angle_given =
      calculator.compute({.lambda_angstrom = 2.6, .h = 0, .k = 0, .l = 4, .theta_degrees = 60, .formula = "GaAs"});
  EXPECT_TRUE(std::isfinite(std::abs(angle_given.f_plus)));
  // An angle beyond 2^53 degrees has no sine: f0 at s = NaN, five exponentials per element overflow.
  const Result no_sine =
      calculator.compute({.lambda_angstrom = 1, .h = 0, .k = 0, .l = 4, .theta_degrees = 1e20, .formula = "GaAs"});
  EXPECT_EQ(no_sine.math_errors, std::vector<std::string>(10, "exp: OVERFLOW error"));
}

// A mix with real weights is averaged as a formula's digits are: whole
// weights give the formula's bits, fractions agree to rounding.
TEST(Calculator, ComputesMixesWithRealWeightsAsFormulas) {
  const Calculator calculator(testing::TestDataDirectory());
  const std::pair<const char*, std::vector<MixComponent>> cases[] = {
      {"Ga7In3As", {{"GaAs", 7}, {"InAs", 3}}}, {"In53Ga47As", {{"InAs", 53}, {"GaAs", 47}}},
      {"Ga1In1", {{"Ga", 1}, {"In", 1}}},       {"Ga0In10As", {{"GaAs", 0}, {"InAs", 10}}}};
  for (const auto& [formula, mix] : cases) {
    for (RunInput run : {RunInput{.lambda_angstrom = 1.2, .h = 1, .k = 1, .l = 3},
                         RunInput{.a = 5.5, .b = 5.6, .c = 5.7, .lambda_angstrom = 1.1, .h = 2, .k = 0, .l = 4,
                                  .theta_degrees = 20, .scale = 2}}) {
      run.formula = formula;
      const auto by_formula = calculator.compute(run).values();
      run.formula.clear(), run.mix = mix;
      EXPECT_EQ(calculator.compute(run).values(), by_formula) << formula;
    }
  }
  const Result whole = calculator.compute({.lambda_angstrom = 1.2, .h = 1, .k = 1, .l = 3, .formula = "Ga7In3As"});
  const Result real = calculator.compute({.lambda_angstrom = 1.2, .h = 1, .k = 1, .l = 3,
                                          .mix = {{"GaAs", 0.7}, {"InAs", 0.3}}});
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(real.values()[i], whole.values()[i], 1e-12 * std::abs(whole.values()[i]));
}

// d, the Bragg angle and |cos 2 theta| on orthogonal cells whose axes
// differ, where each axis must meet its own index: lambda = d, so that
// sin theta = 1/2 in each; a given angle, and the forward direction.
TEST(Result, HasTheReflectionsGeometry) {
  const Calculator calculator(testing::TestDataDirectory());
  const struct { double a, b, c, h, k, l, d; } cases[] = {
      {3, 4, 5, 1, 1, 0, 2.4}, {3, 4, 5, 0, 1, 1, 20 / std::sqrt(41.0)},  // 1/d^2 = 1/9 + 1/16, 1/16 + 1/25
      {6, 4, 9, 1, 0, 1, 18 / std::sqrt(13.0)}, {5, 6, 8, 0, 0, -2, 4}};
  for (const auto& c : cases) {
    const Result r = calculator.compute({.a = c.a, .b = c.b, .c = c.c, .lambda_angstrom = c.d, .h = c.h, .k = c.k,
                                         .l = c.l, .formula = "GaAs"});
    EXPECT_NEAR(r.d_spacing(), c.d, 1e-14 * c.d) << c.a << " " << c.b << " " << c.c;
    EXPECT_NEAR(r.bragg_angle_deg(), 30.0, 1e-12);
    EXPECT_NEAR(r.polarisation_factor(), 0.5, 1e-14);
  }
  RunInput run = kGaAs004;
  run.theta_degrees = 20;
  const Result given = calculator.compute(run);
  EXPECT_EQ(given.bragg_angle_deg(), 20.0);
  EXPECT_NEAR(given.polarisation_factor(), std::cos(40 * 3.141592653589793 / 180), 1e-15);
  EXPECT_EQ(given.chi0(), std::complex<double>(given.chi0_real, given.chi0_imag));
  const Result forward = calculator.compute({.lambda_angstrom = 1.0, .formula = "GaAs"});
  EXPECT_EQ((std::array{forward.d_spacing(), forward.bragg_angle_deg(), forward.polarisation_factor()}),
            (std::array<double, 3>{INFINITY, 0.0, 1.0}));
  EXPECT_EQ((std::array{WavelengthOf(12398.100046), WavelengthOf(PhotonEnergyOf(0.5))}), (std::array{1.0, 0.5}));
}

// A calculator keeps what it has read until reload() (its copies share it);
// a computation that stops on a table that has changed (or gone) since it
// was read reads it again, so a stop is never kept once the table is whole.
TEST(Calculator, ReadsReplacedTablesAgainOnReloadAndAfterAStop) {
  const testing::ScratchDirectory base("xrdcalc-calculator", true);
  auto replace = [&](const char* name, const std::string& text) {  // as tables are replaced: renamed into place
    base.Write("new", text);
    fs::rename(base / "new", base / name);
  };
  Calculator calculator(base.path());
  const Result before = calculator.compute(kGaAs004);
  const std::string structure = testing::ReadFile(base / "GaAs.stf"), table = testing::ReadFile(base / "f1f2.dat");
  replace("GaAs.stf", "another GaAs\n2,216\n6.0,0.3\nGa\n1\n0, 0, 0\nAs\n1\n0.1, 0.25, 0.4\n");
  EXPECT_EQ(calculator.compute(kGaAs004).a, 5.0) << "kept until reload()";
  const Calculator copy = calculator;
  calculator.reload();
  EXPECT_EQ((std::array{calculator.compute(kGaAs004).a, copy.compute(kGaAs004).a}), (std::array{6.0, 6.0}));
  replace("f1f2.dat", table.substr(0, table.find("#S 98")));  // cut short: no Cf end record
  const Calculator fresh(base.path());
  EXPECT_THROW(fresh.compute(kGaAs004), Error);
  EXPECT_THROW(fresh.compute(kGaAs004), Error) << "the same table, the same stop";
  replace("f1f2.dat", table);
  replace("GaAs.stf", structure);
  EXPECT_EQ(fresh.compute(kGaAs004).values(), before.values());
  fs::remove(base / "GaAs.stf");  // a removed table is out of date too
  EXPECT_EQ(fresh.compute(kGaAs004).values(), before.values()) << "kept until a stop";
  EXPECT_THROW(fresh.compute({.lambda_angstrom = 1.0, .formula = "Xe"}), Error);
  EXPECT_THROW(fresh.compute(kGaAs004), Error) << "read anew after the stop: gone";
}

// One fresh calculator shared by many threads, each computing every case
// in its own order while the others read the same files for the first
// time, gives what one thread gives (also under ThreadSanitizer in CI).
TEST(Calculator, ManyThreadsOnOneFreshCalculatorGiveTheSerialResults) {
  std::vector<RunInput> cases;
  std::vector<std::array<double, 16>> expected;
  for (const char* formula : {"GaAs", "Ga7In3As", "InP", "Si", "BN", "Ga1In1", "He", "In53Ga47As"}) {
    for (double lambda : {0.8, 1.5405929}) {
      cases.push_back({.lambda_angstrom = lambda, .h = 1, .k = 1, .l = 3, .formula = formula});
      expected.push_back(Calculator(testing::TestDataDirectory()).compute(cases.back()).values());
    }
  }
  for (int round = 0; round < 5; ++round) {
    const Calculator shared(testing::TestDataDirectory());
    std::vector<std::vector<std::array<double, 16>>> got(8, std::vector<std::array<double, 16>>(cases.size()));
    {
      std::vector<std::jthread> threads;
      for (std::size_t t = 0; t < got.size(); ++t) {
        threads.emplace_back([&, t] {
          for (std::size_t n = 0; n < cases.size(); ++n) {
            const std::size_t i = (n * (2 * t + 1) + t) % cases.size();  // every case, in an order of its own
            got[t][i] = shared.compute(cases[i]).values();
          }
        });
      }
    }
    for (std::size_t t = 0; t < got.size(); ++t) EXPECT_EQ(got[t], expected) << "thread " << t;
  }
}

}  // namespace
}  // namespace xrd
