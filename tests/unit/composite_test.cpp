// The composite's three paths (single structure, plain mix, mix with a
// partner), the weighting, the lattice average and the optical constants.
#include <gtest/gtest.h>

#include "composite/composite_structure.hpp"

namespace xrd {
namespace {

TCompositeStructure Composite(const std::string& formula, double a = 0.0) {
  return TCompositeStructure(a, a, a, 0, 0, 0, 1.0, 1, 1, 1, 30.0, formula, 1.0);
}

std::array<double, 6> SumsOf(const std::string& structure_name) {
  TStructure structure(0, 0, 0, 1.0, 1, 1, 1, 30.0, structure_name);
  structure.Calculate();
  std::array<double, 6> r{};
  structure.GetResults(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
  return r;
}

TEST(Composite, SingleStructurePathKeepsItsStructure) {
  TCompositeStructure c = Composite("GaAs");
  c.ComputeStructureFactors();
  EXPECT_EQ(c.ComponentCount, 1);
  EXPECT_EQ(c.StructureFactors, SumsOf("GaAs"));
  c.ComputeOpticalConstants();
  EXPECT_EQ(c.A, 5.0);
  EXPECT_EQ(c.C, 5.0);
  c.ComputeStructureScalar();
  EXPECT_EQ(c.StructureScalar, 0.3);
  ASSERT_TRUE(c.Structure);
  EXPECT_EQ(c.Structure->Name, "GaAs");
}

TEST(Composite, MixWithAPartnerWeighsTheJoinedStructures) {
  ::testing::internal::CaptureStderr();
  TCompositeStructure c = Composite("Ga1In3As");
  c.ComputeStructureFactors();
  c.ComputeOpticalConstants();
  c.ComputeStructureScalar();
  // No structure of the partner's name alone is read (the tables have none:
  // reading one would warn).
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  const std::array<double, 6> gaas = SumsOf("GaAs");
  const std::array<double, 6> inas = SumsOf("InAs");
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(c.StructureFactors[k], (3.0 * inas[k]) / 4.0 + ((1.0 * gaas[k]) / 4.0 + 0.0)) << k;
  }
  EXPECT_EQ(c.A, (3.0 * 6.0) / 4.0 + (1.0 * 5.0) / 4.0);
  EXPECT_EQ(c.StructureScalar, (3.0 * 0.35) / 4.0 + (1.0 * 0.3) / 4.0);
  EXPECT_FALSE(c.Structure);
}

TEST(Composite, LatticeOfTheWorkedMix) {
  TCompositeStructure c = Composite("Ga7In3As");
  c.ComputeLattice();
  EXPECT_DOUBLE_EQ(c.A, 5.3);
  EXPECT_DOUBLE_EQ(c.B, 5.3);
  EXPECT_DOUBLE_EQ(c.C, 5.3);
  TCompositeStructure given = Composite("Ga7In3As", 5.0);
  given.B = 0.0;
  given.ComputeLattice();  // a single non-zero constant leaves all three
  EXPECT_EQ(given.A, 5.0);
  EXPECT_EQ(given.B, 0.0);
}

TEST(Composite, OneComponentMixEqualsTheStructureAlone) {
  TCompositeStructure mix = Composite("Ga2");
  mix.ComputeStructureFactors();
  mix.ComputeLattice();
  TCompositeStructure alone = Composite("Ga");
  alone.ComputeStructureFactors();
  alone.ComputeLattice();
  EXPECT_EQ(mix.StructureFactors, alone.StructureFactors);
  EXPECT_EQ(mix.A, alone.A);
  EXPECT_EQ(mix.ComponentCount, 1);
  EXPECT_EQ(mix.HasDigits, 1);
}

TEST(Composite, PlainMixNamesEachComponentsOwnStructure) {
  TCompositeStructure c = Composite("Ga1In1");
  c.ComputeStructureFactors();
  const std::array<double, 6> ga = SumsOf("Ga");
  const std::array<double, 6> in = SumsOf("In");
  for (int k = 0; k < 6; ++k) EXPECT_EQ(c.StructureFactors[k], (1.0 * in[k]) / 2.0 + ((1.0 * ga[k]) / 2.0 + 0.0));
}

TEST(OpticalConstants, WorkedExampleAndScaling) {
  TCompositeStructure c(5, 5, 5, 0, 0, 0, 1.0, 0, 0, 4, 10.0, "GaAs", 1.0);
  c.StructureFactors = {100, 2, 50, 10, 50, -10};
  c.FactorsDone = 1;
  c.ComputeOpticalConstants();
  const double gamma = ((2.817938002408482e-05 * 0.3183098861837907) * 1.0) * 1.0 / 125.0;
  EXPECT_NEAR(gamma, 7.18e-08, 0.01e-08);
  const double expected[6] = {-100 * gamma, 2 * gamma, 50 * gamma, 10 * gamma, 50 * gamma, -10 * gamma};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(c.OpticalConstants[i], expected[i]) << i;
  EXPECT_NEAR(c.OpticalConstants[0], -7.18e-06, 0.01e-06);
  EXPECT_NEAR(c.OpticalConstants[1], 1.44e-07, 0.01e-07);
  c.Scale = 2.0;
  c.Lambda = 2.0;
  c.ComputeOpticalConstants();
  for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(c.OpticalConstants[i], 8 * expected[i]) << i;
}

}  // namespace
}  // namespace xrd
