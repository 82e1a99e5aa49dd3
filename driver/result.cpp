// A run's sixteen values in output.dat's order, output.dat's text, and the
// reflection's spacing, Bragg angle and polarisation factor.
#include "xrdcalc/result.hpp"

#include <cmath>

#include "runtime/math_constants.hpp"
#include "runtime/number_format.hpp"
#include "structure/unit_cell.hpp"

namespace xrd {

std::array<double, 16> Result::values() const {
  return {sum_f1,          sum_f2,          f_minus.real(),   f_minus.imag(),   f_plus.real(),   f_plus.imag(),
          chi0_real,       chi0_imag,       chi_minus.real(), chi_minus.imag(), chi_plus.real(), chi_plus.imag(),
          a,               b,               c,                structure_scalar};
}

double Result::d_spacing() const {
  return 1.0 / std::sqrt(InverseSquaredSpacing(h, k, l, UnitCell{a, b, c, alpha, beta, gamma}));
}

double Result::bragg_angle_deg() const {
  if (theta_degrees != 0.0) return theta_degrees;
  return BraggAngleDegrees(InverseSquaredSpacing(h, k, l, UnitCell{a, b, c, alpha, beta, gamma}), lambda_angstrom);
}

double Result::polarisation_factor() const {
  return std::abs(std::cos(2.0 * bragg_angle_deg() * (kPi / 180.0)));
}

std::string FormatOutput(const Result& result) {
  const std::array<double, 16> values = result.values();
  std::string text;
  for (int i = 0; i < 12; ++i) text += FormatG(values[i]) + "\n";
  text += "\n";
  text += FormatG(values[12]) + "\n";
  text += FormatG(values[13]) + "\n";
  text += FormatF(values[14]) + "\n";
  text += "\n";
  text += FormatF(values[15]) + "\n";
  return text;
}

}  // namespace xrd
