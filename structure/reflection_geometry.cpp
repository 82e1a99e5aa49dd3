// The Bragg angle, in the order of operations a structure's derived angle
// uses.
#include "structure/reflection_geometry.hpp"

#include <cmath>

#include "runtime/math_constants.hpp"

namespace xrd {

double BraggAngleDegrees(double inverse_squared_spacing, double lambda) {
  return std::asin(std::sqrt(inverse_squared_spacing) * (0.5 * lambda)) * 180.0 * kInversePi;
}

}  // namespace xrd
