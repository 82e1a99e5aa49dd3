// The unit cell of a crystal: its lengths a, b, c and angles alpha, beta,
// gamma; its kind, its volume, and the spacing and Bragg angle of a
// reflection (h k l). A cell whose angles are all 90 degrees keeps the
// orthogonal arithmetic (V = a b c, 1/d^2 = h^2/a^2 + k^2/b^2 + l^2/c^2)
// to the last bit.
#pragma once

#include <string>

namespace xrd {

struct UnitCell {
  double a = 0.0;  // angstrom
  double b = 0.0;
  double c = 0.0;
  double alpha = 90.0;  // degrees: the angle between b and c
  double beta = 90.0;   // between a and c
  double gamma = 90.0;  // between a and b

  bool IsOrthogonal() const { return alpha == 90.0 && beta == 90.0 && gamma == 90.0; }
};

// The kinds of cell whose structures may be mixed: orthogonal (90 90 90),
// hexagonal (90 90 120: hexagonal and trigonal crystals on hexagonal axes),
// monoclinic (90 beta 90) and any other.
enum class CellKind { Orthogonal, Hexagonal, Monoclinic, Other };
CellKind KindOf(const UnitCell& cell);
const char* CellKindName(CellKind kind);

// What makes lengths and angles no cell: a length that is not a positive,
// finite number, an angle outside (0, 180), or angles that close no
// volume. Empty when they make one.
std::string CellProblem(const UnitCell& cell);

// V in cubic angstroms: (a * b) * c for an orthogonal cell, else
// a b c sqrt(1 - cos^2 alpha - cos^2 beta - cos^2 gamma + 2 cos alpha cos beta cos gamma).
double CellVolume(const UnitCell& cell);

// 1/d^2 of (h k l) in 1/angstrom^2 from the reciprocal metric tensor; for
// an orthogonal cell formed as h * h / a / a + k * k / b / b + l * l / c / c.
double ObliqueInverseSquaredSpacing(double h, double k, double l, const UnitCell& cell);
inline double InverseSquaredSpacing(double h, double k, double l, const UnitCell& cell) {
  if (!cell.IsOrthogonal()) return ObliqueInverseSquaredSpacing(h, k, l, cell);
  return h * h / cell.a / cell.a + k * k / cell.b / cell.b + l * l / cell.c / cell.c;
}

// The Bragg angle in degrees at the wavelength `lambda` for 1/d^2,
// asin(sqrt(1/d^2) * (lambda / 2)); NaN where lambda > 2d.
double BraggAngleDegrees(double inverse_squared_spacing, double lambda);

}  // namespace xrd
