// Rocking curves of epitaxial layer stacks: the reflectivity of a stack of
// layers on a thick substrate against the glancing angle omega around the
// substrate's Bragg angle, by dynamical diffraction theory (the recursive
// solution of the Takagi-Taupin equations), with each layer's chi_0,
// chi_h and chi_hbar from the calculator at its strained lattice.
//
//   xrd::Stack stack{{"GaAs"}, {{{"Al3Ga7As"}, 1000.0}}};   // 1 um AlGaAs on GaAs
//   xrd::RockingCurveInput input{.lambda_angstrom = 1.5405929, .h = 0, .k = 0, .l = 4};
//   input.omega_arcsec = {-1000, -999, ...};
//   xrd::RockingCurve curve = xrd::ComputeRockingCurve(calculator, stack, input);
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "xrdcalc/calculator.hpp"
#include "xrdcalc/export.hpp"
#include "xrdcalc/run_input.hpp"

namespace xrd {

// A structure or formula ("GaAs", "Al3Ga7As"), or a mix with real weights.
struct Material {
  std::string formula = {};
  std::vector<MixComponent> mix = {};
};

struct Layer {
  Material material;
  double thickness_nm = 0.0;
  // 0: pseudomorphic (the substrate's in-plane lattice), 1: relaxed.
  double relaxation = 0.0;
};

// A thick substrate and the layers in growth order: the first lies on the
// substrate, the last is the surface. The surface is the plane (h k l) of
// the substrate's cell, (0 0 1) by default (hexagonal cells: (0001)); on
// other surfaces the layers must be relaxed (R = 1), since their strain is
// modelled for (001) and (0001) faces only.
struct Stack {
  Material substrate;
  std::vector<Layer> layers = {};
  double surface_h = 0.0;
  double surface_k = 0.0;
  double surface_l = 1.0;
};

enum class Polarization { Sigma, Pi, Unpolarised };

struct RockingCurveInput {
  double lambda_angstrom = 0.0;
  double h = 0.0;  // the reflection, l > 0
  double k = 0.0;
  double l = 0.0;
  Polarization polarization = Polarization::Sigma;
  // For an asymmetric reflection: the diffracted beam leaves at a grazing
  // angle (grazing exit) instead of entering at one (grazing incidence).
  bool grazing_exit = false;
  // Glancing angles relative to the substrate's kinematic Bragg angle.
  std::vector<double> omega_arcsec = {};
  // The atoms' thermal vibration in every layer and the substrate, as
  // RunInput has it (none by default), except that the B factors serve the
  // whole stack: each material takes those of its own elements, and only a
  // B factor for an element of no material stops.
  std::optional<double> temperature_k = std::nullopt;
  std::map<std::string, double> b_factors = {};
};

struct RockingCurve {
  std::vector<double> reflectivity;      // one per omega
  double substrate_omega_deg = 0.0;      // the substrate's kinematic glancing angle
  std::vector<double> layer_peak_arcsec;  // each layer's kinematic peak, relative to it
};

// The strain of a layer: its in-plane lattice a_par = a_sub + R (a_layer -
// a_sub), and its perpendicular lattice constant from the elastic response,
// eps_perp = -2 nu/(1 - nu) eps_par on (001) cubic layers (nu the structure
// scalar, c12/(c11 + c12)) and eps_perp = -2 (c13/c33) eps_par on (0001)
// hexagonal ones (the structure scalar c13/c33). Throws Error for a
// reflection that the surface cannot reflect in the Bragg case (at an angle
// of 90 degrees or more to its normal, or unreachable at the wavelength), a
// cell that is neither orthogonal with a = b nor hexagonal, a layer whose
// cell kind differs from the substrate's, a strained layer on another
// surface than (001), and what the calculator refuses.
XRDCALC_API RockingCurve ComputeRockingCurve(const Calculator& calculator, const Stack& stack,
                                             const RockingCurveInput& input);

}  // namespace xrd
