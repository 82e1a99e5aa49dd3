// TElement and TStructure on the small test tables in tests/data/Base:
// partial structure factors, header reading, lattice rule, Bragg angle,
// symbol split and the warnings of the cases the run survives.
#include <gtest/gtest.h>

#include <cmath>

#include "structure/structure.hpp"

namespace xrd {
namespace {

constexpr double kPi = 3.141592653589793;

// f0 of the test table's Ga record: a = 10, 8, 6, 4, 2; c = 1; b = 1..5.
double GaF0(double s) {
  const double a[5] = {10, 8, 6, 4, 2};
  double f0 = 1.0;
  for (int i = 0; i < 5; ++i) f0 += a[i] * std::exp((-(i + 1.0) * s) * s);
  return f0;
}

// The test table's Ga f1/f2 between its rows at 10367 eV (26, 3.8) and
// 15000 eV (30, 2.0).
void GaAnomalous(double energy_ev, double& f1, double& f2) {
  const double t = (energy_ev - 10367.0) / (15000.0 - 10367.0);
  f1 = 26.0 + t * (30.0 - 26.0);
  f2 = 3.8 + t * (2.0 - 3.8);
}

TEST(Element, OneSiteAtTheOriginGivesTheScatteringFactorItself) {
  TElement ga(1.0, 0, 0, 4, 30.0, "GaAs.stf", "Ga");
  ga.Calculate();
  double f1 = 0;
  double f2 = 0;
  GaAnomalous(12398.100046, f1, f2);
  const double s = std::sin((30.0 * kPi) * (1.0 / 180.0)) / 1.0;
  const double f_eff = GaF0(s) + (f1 - GaF0(0.0));
  double r[6];
  ga.GetResults(r[0], r[1], r[2], r[3], r[4], r[5]);
  EXPECT_DOUBLE_EQ(r[0], f1);
  EXPECT_DOUBLE_EQ(r[1], f2);
  EXPECT_DOUBLE_EQ(r[2], f_eff);
  EXPECT_DOUBLE_EQ(r[3], f2);
  EXPECT_DOUBLE_EQ(r[4], f_eff);
  EXPECT_DOUBLE_EQ(r[5], f2);
}

TEST(Element, PhasesOfAnOffOriginSite) {
  // As at (1/4, 1/4, 1/4) with h k l = 1 1 1: phase 3/2 pi.
  TElement as(1.0, 1, 1, 1, 30.0, "GaAs.stf", "As");
  as.Calculate();
  TElement at_origin(1.0, 0, 0, 0, 30.0, "GaAs.stf", "As");
  at_origin.Calculate();
  const double f_eff = at_origin.ReFPlus;
  const double f2 = at_origin.ImFPlus;
  EXPECT_NEAR(as.ReFPlus, f2, 1e-12);      // f_eff cos - f2 sin, sin = -1
  EXPECT_NEAR(as.ImFPlus, -f_eff, 1e-12);  // f_eff sin + f2 cos
  EXPECT_NEAR(as.ReFMinus, -f2, 1e-12);
  EXPECT_NEAR(as.ImFMinus, f_eff, 1e-12);
  EXPECT_EQ(as.SumF1, at_origin.SumF1);
}

TEST(Element, AtMostTwentySitesAreSummed) {
  ::testing::internal::CaptureStderr();
  TElement ga(1.0, 0, 0, 0, 30.0, "Gas.stf", "Ga");
  ga.Calculate();
  const std::string warnings = ::testing::internal::GetCapturedStderr();
  TElement one(1.0, 0, 0, 0, 30.0, "GaAs.stf", "Ga");
  one.Calculate();
  EXPECT_DOUBLE_EQ(ga.SumF1, 20 * one.SumF1);
  EXPECT_NE(warnings.find("site count 25 above 20; the first 20 sites are used"), std::string::npos) << warnings;
}

TEST(Element, AnElementMissingFromTheTablesWarnsAndGivesNoAnomalousCorrection) {
  ::testing::internal::CaptureStderr();
  TElement tr(1.0, 0, 0, 4, 30.0, "Tri.stf", "Tr");
  tr.Calculate();
  const std::string warnings = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(tr.SumF1, 0.0);  // f1 = f0(0) = 0, f2 = 0
  EXPECT_EQ(tr.ReFPlus, 0.0);
  EXPECT_NE(warnings.find("warning: "), std::string::npos);
  EXPECT_NE(warnings.find("f1f2.dat: element Tr: no record for the element"), std::string::npos) << warnings;
  EXPECT_NE(warnings.find("f0_xop.dat: element Tr: no record for the element"), std::string::npos) << warnings;
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

TEST(Structure, ReadsItsHeaderAndCreatesItsElements) {
  TStructure inp(0, 0, 0, 1.5405929, 0, 0, 4, 0, "InP");
  EXPECT_EQ(inp.ElementCount, 2);
  EXPECT_EQ(inp.FileName, "InP.stf");
  EXPECT_EQ(inp.A, 5.8687);
  EXPECT_EQ(inp.C, 5.8687);
  EXPECT_EQ(inp.StructureScalar, 0.36);
  ASSERT_TRUE(inp.Elements[0] && inp.Elements[1]);
  EXPECT_EQ(inp.Elements[0]->Symbol.ToString(), "In");
  EXPECT_EQ(inp.Elements[1]->Symbol.ToString(), "P");
  EXPECT_EQ(inp.Elements[1]->Symbol.second, '\0');
  EXPECT_EQ(inp.Elements[1]->Theta, inp.Theta);
  EXPECT_FALSE(inp.Elements[2]);
  // A non-zero constant leaves all three as given, zeros included.
  TStructure partial(5.65, 0, 0, 1.54, 0, 0, 0, 12.5, "GaAs");
  EXPECT_EQ(partial.A, 5.65);
  EXPECT_EQ(partial.B, 0.0);
  EXPECT_EQ(partial.Theta, 12.5);
}

TEST(Structure, BraggAngleFromTheLattice) {
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
  TStructure gaas(0, 0, 0, 1.0, 1, 1, 1, 30.0, "GaAs");
  gaas.Calculate();
  TElement ga(1.0, 1, 1, 1, 30.0, "GaAs.stf", "Ga");
  TElement as(1.0, 1, 1, 1, 30.0, "GaAs.stf", "As");
  ga.Calculate();
  as.Calculate();
  EXPECT_EQ(gaas.SumF1, ga.SumF1 + as.SumF1);
  EXPECT_EQ(gaas.ImFMinus, ga.ImFMinus + as.ImFMinus);
  double r[6];
  gaas.GetResults(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
  EXPECT_EQ(r[4], ga.ReFPlus + as.ReFPlus);
}

TEST(Structure, FilesOutsideTheFormatAreSurvivedWithAWarning) {
  struct Case {
    const char* name;
    int element_count;
    double lattice;
    const char* warning;
  } cases[] = {
      {"Nowhere", 0, 0.0, "structure \"Nowhere\": cannot open "},
      {"../Base/GaAs", 0, 0.0, "holds '/', '\\' or a NUL byte; not opened"},
      {"Tri", 3, 4.0, "Tri.stf: 3 elements declared; only one element, under the whole name, is computed"},
      {"Q", 2, 4.0, "Q.stf: two elements declared, but the name \"Q\" is too short to split"},
      {"Gab", 0, 0.0, "line 2 is not \"element count,number\"; line 3 is not \"lattice constant,structure scalar\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::testing::internal::CaptureStderr();
    TStructure structure(0, 0, 0, 1.0, 0, 0, 4, 30.0, c.name);
    structure.Calculate();
    const std::string warnings = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(warnings.find(c.warning), std::string::npos) << warnings;
    EXPECT_EQ(structure.ElementCount, c.element_count);
    EXPECT_LE(structure.VisitedElementCount(), 1);
    double a = -1;
    double b = -1;
    double cc = -1;
    structure.GetLattice(&a, &b, &cc);
    EXPECT_EQ(a, c.lattice);
  }
}

}  // namespace
}  // namespace xrd
