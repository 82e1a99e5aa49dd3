// The library's calculator on the small test tables: the structures it
// lists, an element's factors as a run uses them, and what a run
// description leaves out.
#include "xrdcalc/calculator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

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

}  // namespace
}  // namespace xrd
