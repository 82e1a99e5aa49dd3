// The geometry of a reflection (h k l) of a cell with orthogonal axes
// a, b, c: its inverse squared spacing 1/d^2 and its Bragg angle.
#pragma once

namespace xrd {

// 1/d^2 = h^2/a^2 + k^2/b^2 + l^2/c^2 in 1/angstrom^2, formed as
// h * h / a / a + k * k / b / b + l * l / c / c.
inline double InverseSquaredSpacing(double h, double k, double l, double a, double b, double c) {
  return h * h / a / a + k * k / b / b + l * l / c / c;
}

// The Bragg angle in degrees at the wavelength `lambda` for 1/d^2,
// asin(sqrt(1/d^2) * (lambda / 2)); NaN where lambda > 2d.
double BraggAngleDegrees(double inverse_squared_spacing, double lambda);

}  // namespace xrd
