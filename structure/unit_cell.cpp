// Cell kinds, volumes and spacings; angles of 60, 90 and 120 degrees have
// exact cosines, so that hexagonal and monoclinic cells carry no rounding
// of cos(pi/2).
#include "structure/unit_cell.hpp"

#include <cmath>

#include "runtime/math_constants.hpp"
#include "runtime/number_format.hpp"

namespace xrd {

namespace {

double CosDegrees(double angle) {
  if (angle == 90.0) return 0.0;
  if (angle == 120.0) return -0.5;
  if (angle == 60.0) return 0.5;
  return std::cos(angle * (kPi / 180.0));
}

// 1 - cos^2 alpha - cos^2 beta - cos^2 gamma + 2 cos alpha cos beta cos gamma:
// (V / abc)^2.
double SquaredVolumeFactor(double ca, double cb, double cg) {
  return 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg;
}

bool IsPositiveFinite(double value) { return value > 0.0 && std::isfinite(value); }

}  // namespace

CellKind KindOf(const UnitCell& cell) {
  if (cell.IsOrthogonal()) return CellKind::Orthogonal;
  if (cell.alpha == 90.0 && cell.beta == 90.0 && cell.gamma == 120.0) return CellKind::Hexagonal;
  if (cell.alpha == 90.0 && cell.gamma == 90.0) return CellKind::Monoclinic;
  return CellKind::Other;
}

const char* CellKindName(CellKind kind) {
  switch (kind) {
    case CellKind::Orthogonal: return "orthogonal";
    case CellKind::Hexagonal: return "hexagonal";
    case CellKind::Monoclinic: return "monoclinic";
    case CellKind::Other: break;
  }
  return "oblique";
}

std::string CellProblem(const UnitCell& cell) {
  if (!(IsPositiveFinite(cell.a) && IsPositiveFinite(cell.b) && IsPositiveFinite(cell.c))) {
    return "the lengths " + FormatG(cell.a) + " " + FormatG(cell.b) + " " + FormatG(cell.c) +
           " are not three positive, finite numbers of angstroms";
  }
  const std::string angles = FormatG(cell.alpha) + " " + FormatG(cell.beta) + " " + FormatG(cell.gamma);
  for (double angle : {cell.alpha, cell.beta, cell.gamma}) {
    if (!(angle > 0.0 && angle < 180.0)) return "the angles " + angles + " are not all between 0 and 180 degrees";
  }
  const double factor =
      SquaredVolumeFactor(CosDegrees(cell.alpha), CosDegrees(cell.beta), CosDegrees(cell.gamma));
  if (!(factor > 0.0)) return "the angles " + angles + " degrees close no volume";
  return {};
}

double CellVolume(const UnitCell& cell) {
  if (cell.IsOrthogonal()) return (cell.a * cell.b) * cell.c;
  const double factor =
      SquaredVolumeFactor(CosDegrees(cell.alpha), CosDegrees(cell.beta), CosDegrees(cell.gamma));
  return cell.a * cell.b * cell.c * std::sqrt(factor);
}

double ObliqueInverseSquaredSpacing(double h, double k, double l, const UnitCell& cell) {
  const double ca = CosDegrees(cell.alpha);
  const double cb = CosDegrees(cell.beta);
  const double cg = CosDegrees(cell.gamma);
  const double ha = h / cell.a;
  const double kb = k / cell.b;
  const double lc = l / cell.c;
  const double numerator = ha * ha * (1.0 - ca * ca) + kb * kb * (1.0 - cb * cb) + lc * lc * (1.0 - cg * cg) +
                           2.0 * ha * kb * (ca * cb - cg) + 2.0 * kb * lc * (cb * cg - ca) +
                           2.0 * ha * lc * (cg * ca - cb);
  return numerator / SquaredVolumeFactor(ca, cb, cg);
}

double BraggAngleDegrees(double inverse_squared_spacing, double lambda) {
  return std::asin(std::sqrt(inverse_squared_spacing) * (0.5 * lambda)) * 180.0 * kInversePi;
}

}  // namespace xrd
