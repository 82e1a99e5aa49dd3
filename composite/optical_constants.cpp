// Optical constants: the six structure-factor sums times
// Gamma = r_e * lambda^2 / (pi * V) and the run's scale; the first negated.
#include "composite/composite_structure.hpp"

namespace xrd {

namespace {

// Classical electron radius in angstrom, held in single precision.
constexpr float kElectronRadiusAngstrom = 2.817938e-5f;
constexpr double kInversePi = 0.3183098861837907;

}  // namespace

void TCompositeStructure::ComputeOpticalConstants() {
  ComputeLattice();
  const double volume = (A * B) * C;
  const double gamma = ((static_cast<double>(kElectronRadiusAngstrom) * kInversePi) * Lambda) * Lambda / volume;
  if (FactorsDone == 0) ComputeStructureFactors();
  OpticalConstants[0] = (-StructureFactors[0] * gamma) * Scale;
  for (int i = 1; i < 6; ++i) OpticalConstants[i] = (StructureFactors[i] * gamma) * Scale;
}

}  // namespace xrd
