// Cells that are not cubic: spacings and volumes against the metric tensor
// inverted numerically, and runs of hexagonal, monoclinic and triclinic
// structures and their mixes against the closed forms of those cells.
#include "structure/unit_cell.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "tests/support/test_tables_model.hpp"
#include "tests/unit/test_data.hpp"
#include "xrdcalc/calculator.hpp"

namespace xrd {
namespace {

using Matrix = std::array<std::array<double, 3>, 3>;

constexpr double kDegree = 3.141592653589793 / 180;

// The metric tensor G = (a_i . a_j) of a cell.
Matrix Metric(const UnitCell& c) {
  const double ca = std::cos(c.alpha * kDegree), cb = std::cos(c.beta * kDegree);
  const double cg = std::cos(c.gamma * kDegree);
  return {{{c.a * c.a, c.a * c.b * cg, c.a * c.c * cb},
           {c.a * c.b * cg, c.b * c.b, c.b * c.c * ca},
           {c.a * c.c * cb, c.b * c.c * ca, c.c * c.c}}};
}

// The cofactor of g[i][j], signed by the cyclic order of the rows and columns left.
double Cofactor(const Matrix& g, int i, int j) {
  const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
  return g[i1][j1] * g[i2][j2] - g[i1][j2] * g[i2][j1];
}

double Determinant(const Matrix& g) {
  return g[0][0] * Cofactor(g, 0, 0) + g[0][1] * Cofactor(g, 0, 1) + g[0][2] * Cofactor(g, 0, 2);
}

// h . G^-1 . h by Cramer's rule: (G^-1)[i][j] = cofactor of g[j][i] / det G.
double ReciprocalNorm(const Matrix& g, const std::array<double, 3>& h) {
  double sum = 0;
  for (int ij = 0; ij < 9; ++ij) sum += h[ij / 3] * Cofactor(g, ij % 3, ij / 3) / Determinant(g) * h[ij % 3];
  return sum;
}

// V = sqrt(det G) and 1/d^2 = h . G^-1 . h on cells of every kind; a
// cell's kind by its angles; the lengths and angles that make no cell, each
// with its message.
TEST(UnitCell, SpacingAndVolumeFollowTheMetricTensorAndKindsAndWhatIsNoCell) {
  const UnitCell cells[] = {{3.189, 3.189, 5.185, 90, 90, 120}, {12.214, 3.0371, 5.7981, 90, 103.83, 90},
                            {5, 6, 7, 80, 95, 110}, {4, 4, 4, 70, 70, 70},
                            {4.7589, 4.7589, 12.991, 90, 90, 120}, {3, 4, 5, 90, 90, 90}};
  const std::array<double, 3> reflections[] = {{1, 0, 0}, {1, 0, 5}, {1, 1, 4}, {-2, 0, 1}, {1, -2, 3}};
  for (const UnitCell& cell : cells) {
    const Matrix g = Metric(cell);
    EXPECT_NEAR(CellVolume(cell), std::sqrt(Determinant(g)), 1e-12 * CellVolume(cell)) << cell.alpha;
    for (const std::array<double, 3>& h : reflections) {
      const double expected = ReciprocalNorm(g, h);
      EXPECT_NEAR(InverseSquaredSpacing(h[0], h[1], h[2], cell), expected, 1e-12 * expected)
          << cell.a << " " << cell.gamma << ": " << h[0] << " " << h[1] << " " << h[2];
    }
  }
  const std::pair<UnitCell, std::string> kinds[] = {
      {{1, 1, 1, 90, 90, 90}, "orthogonal"}, {{1, 1, 2, 90, 90, 120}, "hexagonal"},
      {{1, 2, 3, 90, 103.8, 90}, "monoclinic"}, {{1, 1, 1, 70, 70, 70}, "oblique"},
      {{1, 1, 1, 90, 90, 60}, "oblique"}};
  for (const auto& [cell, kind] : kinds) EXPECT_EQ(CellKindName(KindOf(cell)), kind) << cell.gamma;
  const std::pair<UnitCell, const char*> cases[] = {
      {{5, 0, 5, 90, 90, 90}, "the lengths 5 0 5 are not three positive, finite numbers of angstroms"},
      {{5, 5, INFINITY, 90, 90, 90},
       "the lengths 5 5 +INF are not three positive, finite numbers of angstroms"},
      {{5, 5, 5, 90, 90, 180}, "the angles 90 90 180 are not all between 0 and 180 degrees"},
      {{5, 5, 5, 0, 90, 90}, "the angles 0 90 90 are not all between 0 and 180 degrees"},
      {{5, 5, 5, 60, 60, 150}, "the angles 60 60 150 degrees close no volume"},
      {{5, 5, 5, 90, 90, 90}, ""}, {{5, 5, 5, 60, 60, 60}, ""},
  };
  for (const auto& [cell, problem] : cases) EXPECT_EQ(CellProblem(cell), problem);
}

// In a scratch copy of the test tables with two wurtzite-like, two
// monoclinic and a triclinic structure beside the cubic ones: wurtzite
// (1 0 5) follows the closed forms 1/d^2 = 4/3 (h^2 + hk + k^2)/a^2 + l^2/c^2,
// V = (sqrt 3 / 2) a^2 c and the model's F of GaAsw. Mixes average the
// lengths; shared angles stay exact, differing ones are weighted; cells of
// two kinds do not mix.
TEST(NonCubicTables, WurtziteFollowsTheHexagonalClosedFormsAndMixesKeepOneKindOfCell) {
  const testing::ScratchDirectory base("xrdcalc-cells", true);
  const std::string first = "0.3333333333333333, 0.6666666666666666, ";
  const std::string second = "0.6666666666666666, 0.3333333333333333, ";
  for (const auto& [cation, cell] : {std::pair<std::string, std::string>{"Ga", "4.0,0.25,4.0,6.5"},
                                     {"In", "4.3,0.3,4.3,7.0"}}) {
    base.Write(cation + "Asw.stf", "test wurtzite\n2,186," + cation + ",As\n" + cell + ",90,90,120\n" +
                                       cation + "\n2\n" + first + "0.0\n" + second + "0.5\nAs\n2\n" + first +
                                       "0.375\n" + second + "0.875\n");
  }
  base.Write("Gam.stf", "test monoclinic Ga\n1,12\n4.0,0.1,5.0,6.0,90,100,90\nGa\n2\n0, 0, 0\n0.5, 0.5, 0\n");
  base.Write("Inm.stf", "test monoclinic In\n1,12\n4.4,0.2,5.5,6.6,90,110,90\nIn\n2\n0, 0, 0\n0.5, 0.5, 0\n");
  base.Write("Gat.stf", "test triclinic Ga\n1,1\n4.0,0.1,5.0,6.0,80,95,110\nGa\n1\n0, 0, 0\n");
  const Calculator calc(base.path());
  const double a = 4.0, c = 6.5, lambda = 1.2, h = 1, k = 0, l = 5;
  const auto run = [&](const char* formula, double h, double k, double l) {
    return calc.compute({.lambda_angstrom = lambda, .h = h, .k = k, .l = l, .formula = formula});
  };
  const Result r = run("GaAsw", h, k, l);
  const double inverse_d2 = 4.0 / 3 * (h * h + h * k + k * k) / (a * a) + l * l / (c * c);
  const double theta = std::asin(lambda / 2 * std::sqrt(inverse_d2)) / kDegree;
  EXPECT_NEAR(r.d_spacing(), 1 / std::sqrt(inverse_d2), 1e-13);
  EXPECT_NEAR(r.bragg_angle_deg(), theta, 1e-11);
  EXPECT_EQ((std::array{r.alpha, r.beta, r.gamma}), (std::array{90.0, 90.0, 120.0}));
  const std::complex<double> f_plus = testing::StructureSums("GaAsw", h, k, l, theta, lambda).f_plus;
  const double gamma = testing::Gamma(lambda, std::sqrt(3.0) / 2 * a, a, c);  // V = (sqrt 3 / 2) a^2 c
  EXPECT_NEAR(std::abs(r.f_plus - f_plus), 0.0, 1e-9 * std::abs(f_plus));
  EXPECT_NEAR(std::abs(r.chi_plus - gamma * f_plus), 0.0, 1e-6 * std::abs(gamma * f_plus));
  EXPECT_NEAR(r.chi0_real, -gamma * r.sum_f1, 1e-6 * gamma * r.sum_f1);  // r_e in single precision
  const Result hexagonal = run("Ga1In1Asw", 1, 0, 2);
  EXPECT_EQ((std::array{hexagonal.a, hexagonal.c, hexagonal.gamma}), (std::array{4.15, 6.75, 120.0}));
  const Result monoclinic = calc.compute({.lambda_angstrom = lambda, .h = 1, .k = 1, .l = 1,
                                          .mix = {{"Gam", 1}, {"Inm", 3}}});
  EXPECT_DOUBLE_EQ(monoclinic.beta, (100.0 + 3 * 110.0) / 4);
  EXPECT_DOUBLE_EQ(monoclinic.b, (5.0 + 3 * 5.5) / 4);
  EXPECT_EQ((std::array{monoclinic.alpha, monoclinic.gamma}), (std::array{90.0, 90.0}));
  const Result given = calc.compute({.a = 4.1, .b = 4.1, .c = 6.6, .lambda_angstrom = lambda, .h = 0, .k = 0,
                                     .l = 2, .formula = "GaAsw"});
  EXPECT_EQ((std::array{given.a, given.c, given.gamma}), (std::array{4.1, 6.6, 120.0}));
  EXPECT_NEAR(given.d_spacing(), 3.3, 1e-15);
  const Result triclinic = run("Gat", 1, -2, 3);
  EXPECT_EQ((std::array{triclinic.alpha, triclinic.beta, triclinic.gamma}), (std::array{80.0, 95.0, 110.0}));
  const UnitCell cell{4.0, 5.0, 6.0, 80, 95, 110};
  EXPECT_NEAR(triclinic.d_spacing(), 1 / std::sqrt(ReciprocalNorm(Metric(cell), {1, -2, 3})), 1e-12);
  const RunInput two_kinds{.lambda_angstrom = lambda, .l = 2, .mix = {{"GaAsw", 1}, {"GaAs", 1}}};
  EXPECT_EQ(testing::ErrorOf([&] { calc.compute(two_kinds); }),
            "the mix: the cells of GaAsw (hexagonal) and GaAs (orthogonal) are of different kinds; the "
            "structures of a mix must have cells of one kind");
}

}  // namespace
}  // namespace xrd
