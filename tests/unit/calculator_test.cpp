// The library's calculator on the small test tables: the structures it
// lists, an element's factors as a run uses them, and what a run
// description leaves out.
#include "xrdcalc/calculator.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/unit/test_data.hpp"

namespace xrd {
namespace {

TEST(Calculator, ListsTheStructuresOfItsDataDirectoryAndLeavesNoDescriptorOpen) {  // fitting loops never end
  const auto open_descriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  const Calculator calculator(testing::TestDataDirectory());
  const auto before = open_descriptors();
  EXPECT_EQ(calculator.structures(), (std::vector<std::string>{"BN", "Ga", "GaAs", "Gab", "Gas", "He", "In", "InAs",
                                                               "InP", "Q", "Si", "Tri"}));
  calculator.compute({.lambda_angstrom = 1.0, .h = 0, .k = 0, .l = 4, .formula = "GaAs"});
  EXPECT_EQ(open_descriptors(), before);
  EXPECT_TRUE(std::filesystem::is_directory(Calculator().data_directory()));  // the source tree's Base/ here
}

TEST(Calculator, GivesAnElementsFactorsAsARunUsesThem) {
  const Calculator calculator(testing::TestDataDirectory());
  // Ga: a = 10, 8, 6, 4, 2; c = 1; b = 1..5; f1/f2 rows (10367, 26, 3.8) and (15000, 30, 2).
  double f0 = 1.0;
  for (int i = 0; i < 5; ++i) f0 += (10.0 - 2 * i) * std::exp((-(i + 1.0) * 0.3) * 0.3);
  EXPECT_EQ(calculator.form_factor("Ga", 0.3), f0);
  EXPECT_EQ(calculator.form_factor("Ga", 0.0), 31.0);
  const AnomalousFactors ga = calculator.anomalous_factors("Ga", 12683.5);
  EXPECT_DOUBLE_EQ(ga.f1, 28.0);
  EXPECT_DOUBLE_EQ(ga.f2, 2.9);
  EXPECT_TRUE(ga.warnings.empty());
  // He is in the form-factor table only: f1 = f0(0), f2 = 0, with a warning.
  const AnomalousFactors he = calculator.anomalous_factors("He", 8000.0);
  EXPECT_EQ(he.f1, 2.0);
  EXPECT_EQ(he.f2, 0.0);
  ASSERT_EQ(he.warnings.size(), 1u);
  EXPECT_NE(he.warnings[0].find("f1f2.dat: element He: no record for the element"), std::string::npos);
}

TEST(Calculator, ARunDescriptionLeftAtItsDefaultsTakesTheStructuresLatticeAndAngleAtScaleOne) {
  const Calculator calculator(testing::TestDataDirectory());
  const RunInput defaults{.lambda_angstrom = 1.0, .h = 1, .k = 2, .l = 3, .formula = "Ga7In3As"};
  const RunInput stated{.a = 0, .b = 0, .c = 0, .value4 = 0, .value5 = 0, .value6 = 0, .lambda_angstrom = 1.0,
                        .h = 1, .k = 2, .l = 3, .theta_degrees = 0, .formula = "Ga7In3As", .scale = 1.0};
  const Result result = calculator.compute(defaults);
  EXPECT_EQ(result.values(), calculator.compute(stated).values());
  EXPECT_EQ(result.a, 0.7 * 5.0 + 0.3 * 6.0);
}

// Element names are exact symbols: a structure's name, a full name or a
// symbol with more after it is an error naming it, never an element read
// from its first two characters.
TEST(Calculator, TakesOnlyExactElementSymbols) {
  const Calculator calculator(testing::TestDataDirectory());
  EXPECT_EQ(calculator.form_factor("Ga", 0.0), 31.0);
  EXPECT_EQ(calculator.anomalous_factors("As", 12683.5).warnings.size(), 0u);
  for (const char* name : {"GaAs", "Gallium", "Ga1", "ga", "GA", "", "Ga ", " Ga", "1"}) {
    EXPECT_THROW(calculator.anomalous_factors(name, 10000.0), Error) << name;
    try {
      calculator.form_factor(name, 0.0);
      ADD_FAILURE() << name << " accepted";
    } catch (const Error& error) {
      EXPECT_NE(std::string(error.what()).find("is not an element symbol"), std::string::npos) << error.what();
    }
  }
}

// The lattice of a run description is 0 0 0 or three positive, finite
// numbers; the wavelength is positive and finite.
TEST(Calculator, RefusesLatticesAndWavelengthsWithoutMeaning) {
  const Calculator calculator(testing::TestDataDirectory());
  const RunInput usable{.a = 5, .b = 5.5, .c = 6, .lambda_angstrom = 1.0, .h = 0, .k = 0, .l = 4, .formula = "GaAs"};
  const Result result = calculator.compute(usable);
  EXPECT_EQ(result.a * result.b * result.c, 5 * 5.5 * 6);
  for (const auto& [a, b, c] : {std::array{5.0, 0.0, 0.0}, {-5.0, -5.0, -5.0}, {double(NAN), 5.0, 5.0}, {5.0, 5.0, double(INFINITY)},
                                {1e200, 1e200, 1e200}}) {
    RunInput run = usable;
    run.a = a, run.b = b, run.c = c;
    EXPECT_THROW(calculator.compute(run), Error) << a << " " << b << " " << c;
  }
  for (double lambda : {0.0, -1.0, double(NAN), double(INFINITY)}) {
    RunInput run = usable;
    run.lambda_angstrom = lambda;
    EXPECT_THROW(calculator.compute(run), Error) << lambda;
  }
}

class CalculatorOnItsOwnData : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = std::filesystem::temp_directory_path() / ("xrdcalc-calculator-" + std::to_string(getpid()));
    std::filesystem::remove_all(base_);
    std::filesystem::copy(testing::TestDataDirectory(), base_);
  }
  void TearDown() override { std::filesystem::remove_all(base_); }

  // Replaces `name` as the tables are meant to be replaced: written beside
  // and renamed into place.
  void Replace(const char* name, const std::string& text) const {
    std::ofstream(base_ / "new", std::ios::binary) << text;
    std::filesystem::rename(base_ / "new", base_ / name);
  }
  std::string Read(const char* name) const {
    std::ifstream in(base_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::path base_;
};

// A calculator keeps what it has read until reload(); a computation that
// stops on a table that has changed since it was read reads it again, so
// an error is never kept for ever.
TEST_F(CalculatorOnItsOwnData, ReadsChangedTablesAgainOnReloadAndAfterAStop) {
  const RunInput gaas{.lambda_angstrom = 1.0, .h = 0, .k = 0, .l = 4, .formula = "GaAs"};
  Calculator calculator(base_.string());
  const Result before = calculator.compute(gaas);
  const std::string structure = Read("GaAs.stf");
  Replace("GaAs.stf", "another GaAs\n2,216\n6.0,0.3\nGa\n1\n0, 0, 0\nAs\n1\n0.1, 0.25, 0.4\n");
  EXPECT_EQ(calculator.compute(gaas).a, 5.0) << "kept until reload()";
  const Calculator copy = calculator;
  calculator.reload();
  EXPECT_EQ(calculator.compute(gaas).a, 6.0);
  EXPECT_EQ(copy.compute(gaas).a, 6.0) << "copies share what they read";

  const std::string table = Read("f1f2.dat");
  Replace("f1f2.dat", table.substr(0, table.find("#S 98")));  // cut short: no Cf end record
  Calculator fresh(base_.string());
  EXPECT_THROW(fresh.compute(gaas), Error);
  EXPECT_THROW(fresh.compute(gaas), Error) << "the same table, the same stop";
  Replace("f1f2.dat", table);
  Replace("GaAs.stf", structure);
  EXPECT_EQ(fresh.compute(gaas).values(), before.values()) << "the whole table again, read anew";
}

// One fresh calculator shared by many threads, each computing every case
// in its own order while the others read the same files for the first
// time, gives what one thread gives (run under the sanitizers, and under
// ThreadSanitizer in CI).
TEST(Calculator, ManyThreadsOnOneFreshCalculatorGiveTheSerialResults) {
  const char* formulas[] = {"GaAs", "Ga7In3As", "InP", "Si", "BN", "Ga1In1", "He", "In53Ga47As"};
  std::vector<RunInput> cases;
  for (const char* formula : formulas) {
    for (double lambda : {0.8, 1.5405929}) cases.push_back({.lambda_angstrom = lambda, .h = 1, .k = 1, .l = 3,
                                                            .formula = formula});
  }
  const Calculator serial(testing::TestDataDirectory());
  std::vector<std::array<double, 16>> expected;
  for (const RunInput& input : cases) expected.push_back(serial.compute(input).values());
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
