// Gamma, in the order of operations the results depend on.
#include "composite/optical_constants.hpp"

#include "runtime/math_constants.hpp"

namespace xrd {

namespace {

// Classical electron radius in angstrom, held in single precision.
constexpr float kElectronRadiusAngstrom = 2.817938e-5f;

}  // namespace

double SusceptibilityFactor(double lambda_angstrom, double volume) {
  return ((static_cast<double>(kElectronRadiusAngstrom) * kInversePi) * lambda_angstrom) * lambda_angstrom / volume;
}

}  // namespace xrd
