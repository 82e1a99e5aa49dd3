// TElement and TStructure on the small test tables in tests/data/Base:
// partial structure factors, header reading, lattice rule, Bragg angle and
// symbol split (the files that stop a run are end-to-end cases).
#include <gtest/gtest.h>

#include <cmath>

#include "structure/structure.hpp"
#include "tests/unit/test_data.hpp"

namespace xrd {
namespace {

constexpr double kPi = 3.141592653589793;

TEST(Element, PhasesOfAnOffOriginSite) {
  const testing::TestDataScope data;
  // As at (0.1, 0.25, 0.4) with h k l = 1 2 3: phase 2 pi (0.1 + 0.5 + 1.2).
  TElement as(1.0, 1, 2, 3, 30.0, "GaAs.stf", "As");
  as.Calculate();
  TElement at_origin(1.0, 0, 0, 0, 30.0, "GaAs.stf", "As");
  at_origin.Calculate();
  const double f = at_origin.Sums.ReFPlus;
  const double f2 = at_origin.Sums.ImFPlus;
  const double phase = 2 * kPi * 1.8;
  EXPECT_NEAR(as.Sums.ReFPlus, f * std::cos(phase) - f2 * std::sin(phase), 1e-12);
  EXPECT_NEAR(as.Sums.ImFPlus, f * std::sin(phase) + f2 * std::cos(phase), 1e-12);
  EXPECT_NEAR(as.Sums.ReFMinus, f * std::cos(phase) + f2 * std::sin(phase), 1e-12);
  EXPECT_NEAR(as.Sums.ImFMinus, f2 * std::cos(phase) - f * std::sin(phase), 1e-12);
  EXPECT_EQ(as.Sums.SumF1, at_origin.Sums.SumF1);
}

TEST(Structure, SymbolSplit) {
  struct Case {
    const char* name;
    const char* first;
    const char* second;
  } cases[] = {{"GaAs", "Ga", "As"}, {"BN", "B", "N"},       {"InP", "In", "P"}, {"AlGaAs", "Al", "Ga"},
               {"Ga", "Ga", ""},     {"G7x", "G", "7x"},     {"SiC", "Si", "C"}, {"G\xe9x", "G", "\xe9x"}};
  for (const Case& c : cases) {
    const std::array<std::string, 2> symbols = SplitSymbols(c.name);
    EXPECT_EQ(symbols[0], c.first) << c.name;
    EXPECT_EQ(symbols[1], c.second) << c.name;
  }
}

TEST(Structure, ReadsItsHeaderAndCreatesItsElementsToCalculate) {
  const testing::TestDataScope data;
  TStructure inp(0, 0, 0, 1.5405929, 0, 0, 4, 0, "InP");
  EXPECT_EQ(inp.ElementCount, 2);
  EXPECT_EQ(inp.FileName, "InP.stf");
  EXPECT_EQ(inp.A, 5.8687);
  EXPECT_EQ(inp.C, 5.8687);
  EXPECT_EQ(inp.StructureScalar, 0.36);
  EXPECT_FALSE(inp.Elements[0]);  // made by Calculate
  inp.Calculate();
  ASSERT_TRUE(inp.Elements[0] && inp.Elements[1]);
  EXPECT_EQ(inp.Elements[0]->Symbol.ToString(), "In");
  EXPECT_EQ(inp.Elements[1]->Symbol.ToString(), "P");
  EXPECT_EQ(inp.Elements[1]->Theta, inp.Theta);
  EXPECT_FALSE(inp.Elements[2]);
  // A non-zero constant leaves all three as given, zeros included.
  TStructure partial(5.65, 0, 0, 1.54, 0, 0, 0, 12.5, "GaAs");
  EXPECT_EQ(partial.A, 5.65);
  EXPECT_EQ(partial.B, 0.0);
  EXPECT_EQ(partial.Theta, 12.5);
}

TEST(Structure, BraggAngleFromTheLattice) {
  const testing::TestDataScope data;
  struct Case {
    double h, k, l;
    double theta_degrees;  // NaN: out of reach
  } cases[] = {{0, 0, 4, 33.03}, {1, 1, 1, 13.65}, {0, 0, 8, std::nan("")}};
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    TStructure gaas(5.65, 5.65, 5.65, 1.54, c.h, c.k, c.l, 0, "GaAs");
    const std::string messages = ::testing::internal::GetCapturedStderr();
    if (std::isnan(c.theta_degrees)) {
      EXPECT_TRUE(std::isnan(gaas.Theta));
      EXPECT_EQ(messages, "\r\nasin: DOMAIN error\r\n");
    } else {
      const double expected = std::asin(std::sqrt(c.h * c.h + c.k * c.k + c.l * c.l) / 5.65 * 0.77) * 180 / kPi;
      EXPECT_NEAR(gaas.Theta, expected, 1e-12);
      EXPECT_NEAR(gaas.Theta, c.theta_degrees, 0.01);
      EXPECT_EQ(messages, "");
    }
  }
}

TEST(Structure, TotalsItsElementsAfterComputingAll) {
  const testing::TestDataScope data;
  TStructure gaas(0, 0, 0, 1.0, 1, 1, 1, 30.0, "GaAs");
  gaas.Calculate();
  TElement ga(1.0, 1, 1, 1, 30.0, "GaAs.stf", "Ga");
  TElement as(1.0, 1, 1, 1, 30.0, "GaAs.stf", "As");
  ga.Calculate();
  as.Calculate();
  EXPECT_EQ(gaas.Sums.SumF1, ga.Sums.SumF1 + as.Sums.SumF1);
  EXPECT_EQ(gaas.Sums.ImFMinus, ga.Sums.ImFMinus + as.Sums.ImFMinus);
  double r[6];
  gaas.GetResults(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
  EXPECT_EQ(r[4], ga.Sums.ReFPlus + as.Sums.ReFPlus);
}

}  // namespace
}  // namespace xrd
