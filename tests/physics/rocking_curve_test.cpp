// Rocking curves against the physics they must obey: reflectivity at most
// 1, sigma at least pi, a layer of zero thickness or of the substrate's
// own material invisible, the Darwin width of a bare substrate, the
// thickness fringes' period and a pseudomorphic layer's peak where its
// strained lattice puts it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <numeric>
#include <tuple>

#include "xrdcalc/rocking_curve.hpp"

namespace xrd {
namespace {

using enum Polarization;

constexpr double kCuKAlpha1 = 1.5405929;
constexpr double kArcsecond = 3.141592653589793 / (180 * 3600);

const Calculator& Shipped() {
  static const Calculator calculator(SHIPPED_BASE);
  return calculator;
}

std::vector<double> Range(double from, double to, double step) {
  std::vector<double> points;
  for (double x = from; x <= to + 1e-9; x += step) points.push_back(x);
  return points;
}

RockingCurve Curve(const Stack& stack, double h, double k, double l, std::vector<double> omega,
                   Polarization polarization = Sigma, bool grazing_exit = false) {
  return ComputeRockingCurve(Shipped(), stack, {.lambda_angstrom = kCuKAlpha1, .h = h, .k = k, .l = l,
                                                .polarization = polarization, .grazing_exit = grazing_exit,
                                                .omega_arcsec = std::move(omega)});
}

// The run of one structure at Cu K-alpha1, for its Bragg angle, lattice and chi.
Result Compute(const std::string& formula, double h, double k, double l) {
  return Shipped().compute({.lambda_angstrom = kCuKAlpha1, .h = h, .k = k, .l = l, .formula = formula});
}

// Full width at half maximum (arcsec) and the middle of the half-maximum points.
std::pair<double, double> HalfMaximum(const std::vector<double>& omega, const std::vector<double>& r) {
  const double half = *std::max_element(r.begin(), r.end()) / 2;
  double low = 0, high = 0;
  for (std::size_t i = 1; i < r.size(); ++i) {
    const double crossing = omega[i - 1] + (half - r[i - 1]) / (r[i] - r[i - 1]) * (omega[i] - omega[i - 1]);
    if (r[i - 1] < half && r[i] >= half) low = crossing;
    if (r[i - 1] >= half && r[i] < half) high = crossing;
  }
  return {high - low, (high + low) / 2};
}

// Symmetric reflections at Cu K-alpha1: Si 004 and GaAs 004 on (001), Si
// 111 on (111). (GaAs 004 at 17.48 keV, above both K edges, absorbs too much
// for the box of the Darwin curve: its width is 5 % below the formula, as
// xrayutilities' is; the Python tests compare it with xrayutilities.)
TEST(RockingCurve, BareSubstratesHaveTheirDarwinWidth) {
  // 0 0 l on (001), or with h = 1 the reflection 1 1 1 on (111).
  for (const auto& [name, h, l] : {std::tuple{"Si", 0.0, 4.0}, {"GaAs", 0.0, 4.0}, {"Si", 1.0, 1.0}}) {
    const Stack stack{{name}, {}, h, h};
    const std::vector<double> omega = Range(-40, 40, 0.01);
    const RockingCurve sigma = Curve(stack, h, h, l, omega, Sigma);
    const RockingCurve pi = Curve(stack, h, h, l, omega, Pi);
    const Result r = Compute(name, h, h, l);
    const double theta = r.bragg_angle_deg() * 3.141592653589793 / 180;
    // The Darwin curve without absorption: total reflection over
    // 2 |C chi_h| / sin 2 theta, half maximum over 3/(2 sqrt 2) of it;
    // its middle lies -Re chi_0 / sin 2 theta above the Bragg angle.
    for (const auto& [curve, c] : {std::pair{&sigma, 1.0}, {&pi, std::abs(std::cos(2 * theta))}}) {
      const double darwin = 2 * c * std::abs(r.chi_plus) / std::sin(2 * theta) / kArcsecond;
      const auto [fwhm, middle] = HalfMaximum(omega, curve->reflectivity);
      EXPECT_NEAR(fwhm / (3 / (2 * std::sqrt(2.0)) * darwin), 1.0, 0.02) << name << " C = " << c;
      EXPECT_NEAR(middle, -r.chi0_real / std::sin(2 * theta) / kArcsecond, 0.05 * darwin) << name;
    }
    for (std::size_t i = 0; i < omega.size(); ++i) {
      ASSERT_LE(sigma.reflectivity[i], 1.0);
      ASSERT_GE(sigma.reflectivity[i], pi.reflectivity[i]) << omega[i];
      ASSERT_GT(pi.reflectivity[i], 0.0);
    }
  }
}

TEST(RockingCurve, InvisibleLayers) {
  const std::vector<double> omega = Range(-300, 100, 0.7);
  const RockingCurve bare = Curve({{"GaAs"}}, 2, 2, 4, omega, Unpolarised);
  const RockingCurve empty = Curve({{"GaAs"}, {{{"Al3Ga7As"}, 0.0}}}, 2, 2, 4, omega, Unpolarised);
  const RockingCurve itself =
      Curve({{"GaAs"}, {{{"GaAs"}, 321.0}, {{"Ga1Ga1As"}, 50.0, 0.5}}}, 2, 2, 4, omega, Unpolarised);
  for (std::size_t i = 0; i < omega.size(); ++i) {
    EXPECT_NEAR(empty.reflectivity[i], bare.reflectivity[i], 1e-12 * bare.reflectivity[i]) << omega[i];
    EXPECT_NEAR(itself.reflectivity[i], bare.reflectivity[i], 1e-9 * bare.reflectivity[i]) << omega[i];
  }
}

// 1 um of Al0.3Ga0.7As on GaAs 004: the layer's peak where eps_perp =
// -2 nu/(1 - nu) eps_par puts it (within 2 %); 200 nm: fringes of period
// lambda / (2 t cos theta_B).
TEST(RockingCurve, PseudomorphicLayerPeakAndFringes) {
  const std::vector<double> omega = Range(-400, 100, 0.1);
  const RockingCurve thick = Curve({{"GaAs"}, {{{"Al3Ga7As"}, 1000.0}}}, 0, 0, 4, omega);
  const auto layer = std::max_element(thick.reflectivity.begin(), thick.reflectivity.begin() + 3000);
  const double substrate_middle = HalfMaximum(omega, thick.reflectivity).second;
  const double peak = omega[layer - thick.reflectivity.begin()] - substrate_middle;
  const Result s = Compute("GaAs", 0, 0, 4), l = Compute("Al3Ga7As", 0, 0, 4);
  const double eps_par = (s.a - l.a) / l.a;
  const double nu = l.structure_scalar;
  const double c = l.a * (1 - 2 * nu / (1 - nu) * eps_par);
  const double theta_s = std::asin(4 * kCuKAlpha1 / (2 * s.a));
  const double expected = (std::asin(4 * kCuKAlpha1 / (2 * c)) - theta_s) / kArcsecond;
  EXPECT_NEAR(peak / expected, 1.0, 0.02) << peak << " " << expected;
  EXPECT_NEAR(thick.layer_peak_arcsec.at(0) / expected, 1.0, 0.001);

  // Fringe maxima 2 to 7 periods below the layer peak: nearer, the layer's
  // own coupling stretches them; further, the substrate's tail, of like
  // strength there, shifts them.
  const std::vector<double> wide = Range(-800, -300, 0.05);
  const RockingCurve thin = Curve({{"GaAs"}, {{{"Al3Ga7As"}, 200.0}}}, 0, 0, 4, wide);
  std::vector<double> maxima;
  for (std::size_t i = 1; i + 1 < wide.size(); ++i) {
    if (thin.reflectivity[i] > thin.reflectivity[i - 1] && thin.reflectivity[i] > thin.reflectivity[i + 1]) {
      maxima.push_back(wide[i]);
    }
  }
  ASSERT_GE(maxima.size(), 4u);
  const double period = (maxima.back() - maxima.front()) / static_cast<double>(maxima.size() - 1);
  EXPECT_NEAR(period / (kCuKAlpha1 / (2 * 2000.0 * std::cos(theta_s)) / kArcsecond), 1.0, 0.01);
}

// Al0.3Ga0.7N on wurtzite GaN (0001), 0002: c_perp = c (1 - 2 (c13/c33) eps_par),
// a relaxed layer keeps its own c; the layer's peak lies where they put it.
TEST(RockingCurve, HexagonalLayersOnTheirBasalPlane) {
  const Result s = Compute("GaNw", 0, 0, 2), l = Compute("Al3Ga7Nw", 0, 0, 2);
  const double theta_s = std::asin(kCuKAlpha1 / s.c);
  for (double relaxation : {0.0, 1.0}) {
    const double a = s.a + relaxation * (l.a - s.a);
    const double c = l.c * (1 - 2 * l.structure_scalar * (a - l.a) / l.a);
    const double expected = (std::asin(kCuKAlpha1 / c) - theta_s) / kArcsecond;
    const std::vector<double> omega = Range(-300, 1500, 0.5);  // smaller c: the layer peaks above
    const RockingCurve curve = Curve({{"GaNw"}, {{{"Al3Ga7Nw"}, 1000.0, relaxation}}}, 0, 0, 2, omega);
    EXPECT_NEAR(curve.layer_peak_arcsec.at(0), expected, 1e-6 * std::abs(expected));
    const auto layer = std::max_element(curve.reflectivity.begin() + 1000, curve.reflectivity.end());
    const double substrate_middle = HalfMaximum(omega, Curve({{"GaNw"}}, 0, 0, 2, omega).reflectivity).second;
    const double peak = omega[layer - curve.reflectivity.begin()] - substrate_middle;
    EXPECT_NEAR(peak / expected, 1.0, 0.03) << relaxation;
  }
}

// On another face a layer is taken relaxed: a relaxed Ge layer on Si (111)
// peaks, in the symmetric 111, where Bragg's law puts Ge's own 111; a layer
// only partly relaxed is refused there.
TEST(RockingCurve, RelaxedLayersOnOtherFacesPeakAtTheirOwnBraggAngle) {
  const double expected = (Compute("Ge", 1, 1, 1).bragg_angle_deg() - Compute("Si", 1, 1, 1).bragg_angle_deg()) * 3600;
  const RockingCurve curve = Curve({{"Si"}, {{{"Ge"}, 100.0, 1.0}}, 1, 1, 1}, 1, 1, 1, {0.0});
  EXPECT_NEAR(curve.layer_peak_arcsec.at(0), expected, 1e-6 * std::abs(expected));
  try {
    Curve({{"Si"}, {{{"Ge"}, 100.0, 0.5}}, 1, 1, 1}, 1, 1, 1, {0.0});
    ADD_FAILURE() << "a partly relaxed layer on (111)";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Ge: on the surface (1 1 1) layers are taken relaxed (relaxation 1); their strain is "
                               "modelled on (001) and (0001) faces");
  }
}

// B factors serve the whole stack: each material takes those of its own
// elements (an AlAs layer of no thickness on GaAs, with B for Ga, As and
// Al, leaves the substrate's curve with Ga and As's B); a B factor for an
// element of no material stops.
TEST(RockingCurve, BFactorsServeEveryMaterialOfTheStack) {
  const std::vector<double> omega = Range(-100, 100, 0.5);
  auto curve = [&](const Stack& stack, std::map<std::string, double> b_factors) {
    return ComputeRockingCurve(Shipped(), stack, {.lambda_angstrom = kCuKAlpha1, .l = 4, .omega_arcsec = omega,
                                                  .b_factors = std::move(b_factors)});
  };
  const RockingCurve bare = curve({{"GaAs"}}, {{"Ga", 0.6}, {"As", 0.5}});
  const RockingCurve layered = curve({{"GaAs"}, {{{"AlAs"}, 0.0}}}, {{"Ga", 0.6}, {"As", 0.5}, {"Al", 0.7}});
  EXPECT_LT(*std::max_element(bare.reflectivity.begin(), bare.reflectivity.end()), 1.0);
  for (std::size_t i = 0; i < omega.size(); ++i) {
    EXPECT_NEAR(layered.reflectivity[i], bare.reflectivity[i], 1e-12 * bare.reflectivity[i]) << omega[i];
  }
  try {
    curve({{"GaAs"}, {{{"AlAs"}, 10.0}}}, {{"Ga", 0.6}, {"As", 0.5}, {"Al", 0.7}, {"In", 1.0}});
    ADD_FAILURE() << "a B factor for In";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "a B factor is given for In, which is not an element of any material of the stack");
  }
}

TEST(RockingCurve, StopsOnWhatItCannotModel) {
  const std::vector<double> omega = {0.0};
  EXPECT_THROW(Curve({{"GaAs"}}, 0, 0, -4, omega), Error);
  // 111 makes 54.7 degrees with [001], more than theta_B = 13.7: from (001) it is no Bragg
  // reflection, neither in grazing incidence (the beam would come from inside) nor in exit
  // (the diffracted beam would go into the crystal).
  for (const bool grazing_exit : {false, true}) {
    EXPECT_THROW(Curve({{"GaAs"}}, 1, 1, 1, omega, Sigma, grazing_exit), Error);
  }
  EXPECT_NO_THROW(Curve({{"GaAs"}}, 2, 2, 4, omega, Sigma, true));
  EXPECT_THROW(Curve({{"GaAs"}, {{{"GaNw"}, 10.0}}}, 0, 0, 4, omega), Error);
  EXPECT_THROW(Curve({{"GaObeta"}}, 0, 0, 4, omega), Error);
  EXPECT_THROW(Curve({{"GaAs"}, {{{"AlAs"}, -1.0}}}, 0, 0, 4, omega), Error);
  // 224 in grazing incidence enters at 6.6 degrees: 7 degrees below, the beam cannot enter.
  try {
    Curve({{"GaAs"}}, 2, 2, 4, {0.0, -7.0 * 3600});
    ADD_FAILURE() << "a beam from below the surface";
  } catch (const Error& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("at -25200 arcsec from the Bragg angle"), std::string::npos) << message;
    EXPECT_NE(message.find("the beam does not enter through the surface"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace xrd
