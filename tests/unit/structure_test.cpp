// TElement and TStructure on the small test tables in tests/data/Base:
// partial structure factors, header reading, lattice rule, Bragg angle,
// symbol split, the files that stop a run and the one element warning.
#include <gtest/gtest.h>

#include <cmath>

#include "xrdcalc/error.hpp"
#include "runtime/warning.hpp"
#include "element/element_sites.hpp"
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

TEST(Element, AnElementMissingFromTheF1F2TableWarnsOnceAndGivesNoAnomalousCorrection) {
  Diagnostics diagnostics;
  DiagnosticsScope scope(diagnostics);
  TElement he(1.0, 0, 0, 4, 30.0, "He.stf", "He");
  he.Calculate();
  he.Calculate();
  const double f0_zero = he.FormFactorF0(0.0);
  EXPECT_GT(f0_zero, 1.9);
  EXPECT_EQ(he.SumF1, f0_zero);  // f1 = f0(0)
  EXPECT_EQ(he.SumF2, 0.0);      // f2 = 0
  EXPECT_EQ(he.ReFPlus, he.FormFactorF0(std::sin(30.0 * 3.141592653589793 / 180.0) / 1.0));
  ASSERT_EQ(diagnostics.warnings().size(), 1u);
  EXPECT_NE(diagnostics.warnings()[0].find("f1f2.dat: element He: no record for the element (searched up to the Cf "
                                           "record); no anomalous correction, f1 = f0(0), f2 = 0"),
            std::string::npos);
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

TEST(Structure, HeaderAndSiteBlocksThatDoNotScan) {
  struct Case {
    const char* text;
    const char* problem;
  } cases[] = {
      {"t\n0,1\n4.0,0.1\n", "element count 0 on line 2 is not 1 or 2"},
      {"t\n-1,1\n4.0,0.1\n", "element count -1 on line 2 is not 1 or 2"},
      {"t\n1,1\n4.0;0.1\n", "line 3 is not \"lattice constant,structure scalar\""},
      {"t\n1 1\n4.0,0.1\n", "line 2 is not \"element count,number\""},
  };
  for (const Case& c : cases) {
    std::string problem;
    EXPECT_FALSE(ReadStructureHeader(c.text, &problem)) << c.text;
    EXPECT_EQ(problem, c.problem);
  }
  const struct {
    const char* text;
    const char* problem;
  } site_cases[] = {
      {"t\nGa\nx\n", "the site count is not an integer"},
      {"t\nGa\n0\n", "site count 0 outside 1 to 20"},
      {"t\nGa\n-5\n0, 0, 0\n", "site count -5 outside 1 to 20"},
      {"t\nGa\n2147483648\n0, 0, 0\n", "site count -2147483648 outside 1 to 20"},
      {"t\nGa\n2\n0, 0, 0\n0 0 0\n", "site 2 of 2 is not three numbers \"x, y, z\""},
      {"t\nAs\n1\n0, 0, 0\n", "no line begins with the element's symbol: its block of sites is missing"},
  };
  for (const auto& c : site_cases) {
    std::string problem;
    EXPECT_FALSE(ReadElementSites(c.text, ChemicalSymbol{'G', 'a'}, &problem)) << c.text;
    EXPECT_EQ(problem, c.problem);
  }
  std::string problem;
  const std::optional<SiteTable> sites = ReadElementSites("t\nGa\n2\n0, 0, 0\n0.25, 0.5,0.75 Ga\n", {'G', 'a'}, &problem);
  ASSERT_TRUE(sites);
  EXPECT_EQ(sites->count, 2);
  EXPECT_EQ(sites->sites[1].x, 0.25);
  EXPECT_EQ(sites->sites[1].y, 0.5);
  EXPECT_EQ(sites->sites[1].z, 0.75);
}

}  // namespace
}  // namespace xrd
