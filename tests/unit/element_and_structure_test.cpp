// TElement and TStructure on the small test tables, against the tables'
// numbers and closed forms (tests/support/test_tables_model.hpp), not
// against the code. The structure files that stop a run are end-to-end cases.
#include <gtest/gtest.h>

#include <cmath>

#include "structure/structure.hpp"
#include "tests/support/test_tables_model.hpp"
#include "tests/unit/test_data.hpp"

namespace xrd {
namespace {

using testing::StructureSums;

// F(hkl), F(-h-k-l) and the sums of f1 and f2 against the expected ones.
void ExpectSums(const StructureFactorSums& s, const testing::Sums& expected, const std::string& hkl) {
  for (const auto& [value, wanted] : {std::pair{std::complex(s.ReFPlus, s.ImFPlus), expected.f_plus},
                                      {std::complex(s.ReFMinus, s.ImFMinus), expected.f_minus}}) {
    EXPECT_NEAR(std::abs(value - wanted), 0.0, 1e-12 * (1 + std::abs(wanted))) << hkl << ": " << value;
  }
  EXPECT_NEAR(s.SumF1, expected.f1, 1e-12) << hkl;
  EXPECT_NEAR(s.SumF2, expected.f2, 1e-12) << hkl;
}

// Ga alone at the origin: F(hkl) = F(-h-k-l) = f0(s) + f1 - f0(0) + i f2
// whatever hkl, and the f1 and f2 sums are f1 and f2.
TEST(Element, OneAtomAtTheOriginScattersAlikeInEveryDirection) {
  const testing::TestDataScope data;
  for (const auto& [h, k, l, theta, lambda] :
       {std::array{0., 0., 0., 0., 1.}, {1, 2, 3, 30, 1.2}, {-4, 0, 7, 61, 0.8}, {0.5, 0.25, 0, 12, 2.5}}) {
    TElement ga(lambda, h, k, l, theta, "Ga.stf", "Ga");
    ga.Calculate();
    const testing::Sums expected = StructureSums("Ga", h, k, l, theta, lambda);
    ExpectSums(ga.Sums, {expected.f1, expected.f2, expected.f_plus, expected.f_plus}, std::to_string(h));
    EXPECT_NEAR(ga.FormFactorF0(0.3), testing::Elements().at("Ga").F0(0.3), 1e-12);
  }
}

// Diamond: the fcc lattice (4f where h, k, l are all even or all odd, 0
// where they are mixed) times 1 + exp(i pi (h + k + l) / 2): 8f where h + k
// + l is a multiple of 4, 4f(1 -+ i) where it is odd, 0 where it is 2 more
// than a multiple of 4.
TEST(Structure, DiamondGivesItsPhaseSums) {
  const testing::TestDataScope data;
  const double lambda = 1.0, theta = 20.0;
  const testing::ElementModel& si = testing::Elements().at("Si");
  const std::complex<double> f = si.F(std::sin(theta * testing::kPiModel / 180) / lambda, lambda);
  const std::complex<double> f1f2 = si.F1F2(12398.100046 / lambda), i(0, 1);
  const struct { double h, k, l; std::complex<double> f_plus, f_minus; } cases[] = {
      {0, 0, 4, 8. * f, 8. * f}, {2, 2, 0, 8. * f, 8. * f}, {1, 1, 1, 4. * f * (1. - i), 4. * f * (1. + i)},
      {1, 1, 3, 4. * f * (1. + i), 4. * f * (1. - i)}, {0, 0, 2, 0, 0}, {2, 2, 2, 0, 0}, {1, 0, 0, 0, 0},
      {1, 1, 0, 0, 0}, {2, 1, 0, 0, 0}};
  for (const auto& c : cases) {
    TStructure silicon(0, 0, 0, lambda, c.h, c.k, c.l, theta, "Si");
    silicon.Calculate();
    ExpectSums(silicon.Sums, {8 * f1f2.real(), 8 * f1f2.imag(), c.f_minus, c.f_plus},
               std::to_string(c.h) + " " + std::to_string(c.k) + " " + std::to_string(c.l));
  }
}

// GaAs with As at (0.1, 0.25, 0.4): every phase differs, and the six sums
// are the two elements' totals.
TEST(Structure, TotalsItsElementsOverEverySite) {
  const testing::TestDataScope data;
  for (const auto& [h, k, l] : {std::array{1., 2., 3.}, {-2, 1, 5}, {0, 0, 4}}) {
    TStructure gaas(0, 0, 0, 1.0, h, k, l, 30.0, "GaAs");
    EXPECT_FALSE(gaas.Elements[0]) << "made by Calculate";
    gaas.Calculate();
    ExpectSums(gaas.Sums, StructureSums("GaAs", h, k, l, 30.0, 1.0), std::to_string(h));
    double r[6];
    gaas.GetResults(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
    EXPECT_EQ(std::complex<double>(r[4], r[5]), std::complex<double>(gaas.Sums.ReFPlus, gaas.Sums.ImFPlus));
    ASSERT_TRUE(gaas.Elements[0] && gaas.Elements[1] && !gaas.Elements[2]);
    EXPECT_EQ(gaas.Elements[1]->Symbol.ToString(), "As");
    EXPECT_EQ(gaas.Elements[1]->Theta, 30.0);
  }
}

// The header gives the element count, lattice and scalar, the file name is
// the name's, and a lattice with any constant given is kept as given.
// sin(theta) = lambda / 2d with 1/d^2 = h^2/a^2 + k^2/b^2 + l^2/c^2, every
// axis its own; beyond reach a NaN and the arcsine's report.
TEST(Structure, ReadsItsCellAndDerivesItsBraggAngleFromIt) {
  const testing::TestDataScope data;
  TStructure inp(0, 0, 0, 1.5405929, 0, 0, 4, 0, "InP");
  EXPECT_EQ(inp.ElementCount, 2);
  EXPECT_EQ(inp.FileName, "InP.stf");
  EXPECT_EQ((std::array{inp.A, inp.B, inp.C}), (std::array{5.8687, 5.8687, 5.8687}));
  EXPECT_EQ(inp.StructureScalar, 0.36);
  inp.Calculate();
  EXPECT_EQ(inp.Elements[1]->Symbol.ToString(), "P");
  TStructure partial(5.65, 0, 0, 1.54, 0, 0, 0, 12.5, "GaAs");  // one constant given: all three stay
  EXPECT_EQ((std::array{partial.A, partial.B, partial.C}), (std::array{5.65, 0.0, 0.0}));
  const struct { double a, b, c, h, k, l, lambda; } cases[] = {
      {5.65, 5.65, 5.65, 0, 0, 4, 1.54}, {5, 5.5, 6, 1, 2, 3, 1.2}, {4, 7, 3, 3, 1, 2, 0.9},
      {0, 0, 0, 1, 1, 1, 1.5405929}, {5.65, 5.65, 5.65, 0, 0, 8, 1.54}};
  for (const auto& c : cases) {
    ::testing::internal::CaptureStderr();
    const double theta = TStructure(c.a, c.b, c.c, c.lambda, c.h, c.k, c.l, 0, "GaAs").Theta;
    const std::string reports = ::testing::internal::GetCapturedStderr();
    const double a = c.a == 0 ? 5.0 : c.a;  // 0 0 0: the file's 5.0 on every axis
    const double b = c.a == 0 ? a : c.b, cc = c.a == 0 ? a : c.c;
    const double expected = testing::BraggAngle(c.h, c.k, c.l, a, b, cc, c.lambda);
    const bool beyond_reach = std::isnan(expected);
    EXPECT_EQ(reports, beyond_reach ? "\r\nasin: DOMAIN error\r\n" : "") << c.a << " " << c.b << " " << c.c;
    if (beyond_reach) { EXPECT_TRUE(std::isnan(theta)); } else { EXPECT_NEAR(theta, expected, 1e-12); }
  }
  TStructure given(5.65, 5.65, 5.65, 1.54, 0, 0, 8, 12.5, "GaAs");  // a given angle stays, unreached or not
  EXPECT_EQ(given.Theta, 12.5);
}

// A structure's name splits after its first symbol: an upper-case letter
// and a lower-case one if one follows.
TEST(Structure, SplitsTwoSymbolsAtTheSecondCharacter) {
  for (const auto& [name, first, second] :
       {std::array{"GaAs", "Ga", "As"}, {"BN", "B", "N"}, {"InP", "In", "P"}, {"AlGaAs", "Al", "Ga"},
        {"Ga", "Ga", ""}, {"G7x", "G", "7x"}, {"SiC", "Si", "C"}, {"G\xe9x", "G", "\xe9x"}}) {
    EXPECT_EQ(SplitSymbols(name), (std::array<std::string, 2>{first, second})) << name;
  }
}

}  // namespace
}  // namespace xrd
