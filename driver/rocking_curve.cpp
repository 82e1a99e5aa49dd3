// ComputeRockingCurve: each material's lattice from the calculator, the
// layers' strained lattices and reciprocal lattice vectors, their chi_0,
// chi_h and chi_hbar computed at those lattices, and the reflectivity of
// the stack at each glancing angle.
#include "xrdcalc/rocking_curve.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "diffraction/dynamical_recursion.hpp"
#include "diffraction/layer_strain.hpp"
#include "structure/unit_cell.hpp"
#include "runtime/math_constants.hpp"
#include "runtime/number_format.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

constexpr double kArcsecond = kPi / (180.0 * 3600.0);

struct Medium {
  Result relaxed;  // the material at its own lattice
  bool hexagonal = false;
};

RunInput RunOf(const Material& material, const RockingCurveInput& input) {
  RunInput run;
  run.lambda_angstrom = input.lambda_angstrom;
  run.h = input.h;
  run.k = input.k;
  run.l = input.l;
  run.formula = material.formula;
  run.mix = material.mix;
  run.temperature_k = input.temperature_k;
  run.b_factors = input.b_factors;
  return run;
}

std::string NameOf(const Material& material) {
  if (!material.formula.empty()) return material.formula;
  std::string name;
  for (const MixComponent& c : material.mix) name += (name.empty() ? "" : " + ") + FormatG(c.weight) + " " + c.structure;
  return name;
}

// One material's run, with the stack's B factors, which each material
// takes for its own elements.
using ComputeMaterial = std::function<Result(const RunInput&)>;

// Throws Error where a B factor is given for an element of no material
// (`elements`: those of all the materials).
void CheckEveryBFactorUsed(const RockingCurveInput& input, const std::vector<std::string>& elements) {
  for (const auto& given : input.b_factors) {
    if (std::find(elements.begin(), elements.end(), given.first) != elements.end()) continue;
    throw Error("a B factor is given for " + given.first + ", which is not an element of any material of the stack");
  }
}

Medium MediumOf(const ComputeMaterial& compute, const Material& material, const RockingCurveInput& input) {
  Medium m{compute(RunOf(material, input)), false};
  const Result& r = m.relaxed;
  const bool square = r.alpha == 90.0 && r.beta == 90.0 && r.gamma == 90.0 && r.a == r.b;
  m.hexagonal = r.alpha == 90.0 && r.beta == 90.0 && r.gamma == 120.0 && r.a == r.b;
  if (!square && !m.hexagonal) {
    throw Error(NameOf(material) + ": a cell of a = b and right angles (on a (001) face) or a hexagonal one (on "
                                   "(0001)) is needed for a layer stack");
  }
  return m;
}

// The layer as the waves exp(+2 pi i k.r) see it. Their susceptibility is
// -Gamma times the density's Fourier series with the atoms' scattering
// factors conjugated (f1 - i f2: Im chi > 0 absorbs), whose coefficient of
// exp(+2 pi i g.r) is conj(F(g)); so chi_0 = -Gamma conj(sum f) = chi0_real +
// i chi0_imag, chi_h = -conj(Gamma F(h)) = -conj(chi_plus) and chi_hbar =
// -conj(chi_minus).
LayerWave WaveOf(const Result& at_lattice, PlanarVector h, bool grazing_exit, double thickness_angstrom) {
  LayerWave wave;
  wave.chi0 = {at_lattice.chi0_real, at_lattice.chi0_imag};
  wave.chi_h = -std::conj(at_lattice.chi_plus);
  wave.chi_hbar = -std::conj(at_lattice.chi_minus);
  wave.h_x = grazing_exit ? h.in_plane : -h.in_plane;
  wave.h_z = -h.normal;
  wave.thickness_angstrom = thickness_angstrom;
  return wave;
}

// The reflection's reciprocal lattice vector split into its parts in the
// surface plane and along the surface's normal (the reciprocal vector of
// the surface plane), from the cell's metric: g.n = (|g+n|^2 - |g|^2 -
// |n|^2) / 2.
PlanarVector AgainstSurface(const Result& cell, const RockingCurveInput& input, const Stack& stack) {
  const UnitCell c{cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma};
  const double g2 = InverseSquaredSpacing(input.h, input.k, input.l, c);
  const double n2 = InverseSquaredSpacing(stack.surface_h, stack.surface_k, stack.surface_l, c);
  const double sum2 = InverseSquaredSpacing(input.h + stack.surface_h, input.k + stack.surface_k,
                                            input.l + stack.surface_l, c);
  const double along = (sum2 - g2 - n2) / 2.0 / std::sqrt(n2);
  return {std::sqrt(std::max(g2 - along * along, 0.0)), along};
}

bool IsZeroOneFace(const Stack& stack) {
  return stack.surface_h == 0.0 && stack.surface_k == 0.0 && stack.surface_l > 0.0;
}

}  // namespace

RockingCurve ComputeRockingCurve(const Calculator& calculator, const Stack& stack, const RockingCurveInput& input) {
  const double wavenumber = 1.0 / input.lambda_angstrom;
  std::vector<std::string> elements;
  const ComputeMaterial compute = [&](const RunInput& run) { return calculator.compute_in_stack(run, elements); };
  const Medium substrate = MediumOf(compute, stack.substrate, input);
  const PlanarLattice substrate_lattice{substrate.relaxed.a, substrate.relaxed.c};
  const bool zero_one_face = IsZeroOneFace(stack);
  const PlanarVector substrate_h =
      zero_one_face ? ReciprocalVector(input.h, input.k, input.l, substrate_lattice, substrate.hexagonal)
                    : AgainstSurface(substrate.relaxed, input, stack);
  const std::string reflection = FormatG(input.h) + " " + FormatG(input.k) + " " + FormatG(input.l);
  const std::string surface =
      FormatG(stack.surface_h) + " " + FormatG(stack.surface_k) + " " + FormatG(stack.surface_l);
  if (!(substrate_h.normal > 0.0)) {
    throw Error("the reflection " + reflection + " makes an angle of 90 degrees or more with the normal of the "
                "surface (" + surface + "): no Bragg reflection from it");
  }
  std::vector<LayerWave> waves = {WaveOf(substrate.relaxed, substrate_h, input.grazing_exit, 0.0)};
  RockingCurve curve;
  const double omega_b = KinematicOmega(waves[0].h_x, substrate_h.normal, wavenumber);
  if (!(omega_b > 0.0 && omega_b < kPi)) {
    throw Error("the reflection " + reflection + " cannot be reached from the surface (" + surface + ") in " +
                (input.grazing_exit ? "grazing exit" : "grazing incidence") + " at " +
                FormatG(input.lambda_angstrom) + " angstrom" +
                (input.grazing_exit ? "" : "; try grazing exit"));
  }
  curve.substrate_omega_deg = omega_b * 180.0 / kPi;
  for (const Layer& layer : stack.layers) {
    if (!(layer.thickness_nm >= 0.0 && std::isfinite(layer.thickness_nm))) {
      throw Error(NameOf(layer.material) + ": the thickness " + FormatG(layer.thickness_nm) +
                  " nm is not a finite number from 0 on");
    }
    const Medium medium = MediumOf(compute, layer.material, input);
    if (medium.hexagonal != substrate.hexagonal) {
      throw Error(NameOf(layer.material) + " and the substrate " + NameOf(stack.substrate) +
                  " have cells of different kinds");
    }
    if (!zero_one_face && layer.relaxation != 1.0) {
      throw Error(NameOf(layer.material) + ": on the surface (" + surface +
                  ") layers are taken relaxed (relaxation 1); their strain is modelled on (001) and (0001) faces");
    }
    const PlanarLattice strained = StrainedLattice(substrate_lattice.a, {medium.relaxed.a, medium.relaxed.c},
                                                   medium.relaxed.structure_scalar, medium.hexagonal,
                                                   layer.relaxation);
    RunInput run = RunOf(layer.material, input);
    run.a = run.b = strained.a;
    run.c = strained.c;
    const Result at_lattice = compute(run);
    const PlanarVector h = zero_one_face ? ReciprocalVector(input.h, input.k, input.l, strained, medium.hexagonal)
                                         : AgainstSurface(at_lattice, input, stack);
    waves.push_back(WaveOf(at_lattice, h, input.grazing_exit, layer.thickness_nm * 10.0));
    const double omega_layer = KinematicOmega(waves.back().h_x, h.normal, wavenumber);
    curve.layer_peak_arcsec.push_back((omega_layer - omega_b) / kArcsecond);
  }
  CheckEveryBFactorUsed(input, elements);
  curve.reflectivity.reserve(input.omega_arcsec.size());
  for (double offset : input.omega_arcsec) {
    const double omega = omega_b + offset * kArcsecond;
    // The incident beam must enter through the surface and the diffracted
    // one leave through it (the Bragg case).
    const bool enters = omega > 0.0 && omega < kPi;
    if (!enters || std::sin(omega) * wavenumber + waves[0].h_z >= 0.0) {
      throw Error("at " + FormatG(offset) + " arcsec from the Bragg angle (omega = " + FormatG(omega * 180.0 / kPi) +
                  " degrees) the " + (enters ? "diffracted beam does not leave" : "beam does not enter") +
                  " through the surface");
    }
    double r = 0.0;
    if (input.polarization == Polarization::Sigma) {
      r = StackReflectivity(waves, wavenumber, omega, WavePolarization::Sigma);
    } else if (input.polarization == Polarization::Pi) {
      r = StackReflectivity(waves, wavenumber, omega, WavePolarization::Pi);
    } else {
      r = 0.5 * (StackReflectivity(waves, wavenumber, omega, WavePolarization::Sigma) +
                 StackReflectivity(waves, wavenumber, omega, WavePolarization::Pi));
    }
    curve.reflectivity.push_back(r);
  }
  return curve;
}

}  // namespace xrd
