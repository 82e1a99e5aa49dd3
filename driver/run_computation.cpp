// ComputeRun: construct the composite (from the formula or a mix with real
// weights), compute its sums, optical constants and scalar in that order,
// and read its getters into a Result.
#include "driver/run_computation.hpp"

#include <cmath>
#include <cstdint>

#include "composite/composite_structure.hpp"
#include "runtime/data_files_scope.hpp"
#include "runtime/number_format.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

bool IsPositiveFinite(double value) { return value > 0.0 && !std::isinf(value); }

// From 2^52 on every finite double is a whole number; below, the value is
// whole when it survives the round trip through an integer (no call of trunc).
bool IsWholeNumber(double value) {
  if (!(std::fabs(value) < 0x1p52)) return std::isfinite(value);
  return value == static_cast<double>(static_cast<std::int64_t>(value));
}

// The real and imaginary parts of `z`, as the standard lays them out.
double* Parts(std::complex<double>& z) { return reinterpret_cast<double(&)[2]>(z); }

}  // namespace

std::string RunInputProblem(const RunInput& run) {
  if (!IsPositiveFinite(run.lambda_angstrom)) {
    return "the wavelength (value 7) is " + FormatG(run.lambda_angstrom) +
           "; it must be a positive, finite number of angstroms";
  }
  const bool from_structure_files = run.a == 0.0 && run.b == 0.0 && run.c == 0.0;
  if (from_structure_files) return {};
  const std::string lattice = FormatG(run.a) + " " + FormatG(run.b) + " " + FormatG(run.c);
  if (!(IsPositiveFinite(run.a) && IsPositiveFinite(run.b) && IsPositiveFinite(run.c))) {
    return "the lattice constants (values 1 to 3) are " + lattice +
           "; they must be 0 0 0 (taken from the structure files) or three positive, finite numbers of angstroms";
  }
  const double volume = (run.a * run.b) * run.c;
  if (!IsPositiveFinite(volume)) {
    return "the lattice constants (values 1 to 3) " + lattice + " give a cell volume of " + FormatG(volume) +
           " cubic angstroms, beyond the range of the computation";
  }
  return {};
}

std::string LibraryRunProblem(const RunInput& run) {
  if (IsWholeNumber(run.h) && IsWholeNumber(run.k) && IsWholeNumber(run.l)) return {};
  return "the Miller indices are " + FormatG(run.h) + " " + FormatG(run.k) + " " + FormatG(run.l) +
         "; they must be whole numbers";
}

Result ComputeRun(const DataFiles& files, const RunInput& run, Diagnostics& diagnostics, Computing computing,
                  std::vector<std::string>* stack_elements) {
  if (const std::string problem = RunInputProblem(run); !problem.empty()) throw Error(problem);
  const bool for_library = computing == Computing::ForLibrary;
  if (for_library) {
    if (const std::string problem = LibraryRunProblem(run); !problem.empty()) throw Error(problem);
  }
  if (!run.mix.empty() && !run.formula.empty()) throw Error("a run has a formula or a mix, not both");
  ThermalVibration vibration{run.temperature_k, &run.b_factors};
  vibration.b_factors_shared = stack_elements != nullptr;
  if (const std::string problem = ThermalVibrationProblem(vibration); !problem.empty()) throw Error(problem);
  DiagnosticsScope diagnostics_scope(diagnostics);
  DataFilesScope files_scope(files);
  TCompositeStructure composite(run.a, run.b, run.c, run.value4, run.value5, run.value6, run.lambda_angstrom, run.h,
                                run.k, run.l, run.theta_degrees, run.formula, run.scale);
  if (!run.mix.empty()) composite.SetMix(run.mix);
  composite.RefuseUnreachable = for_library;
  composite.Vibration = vibration;
  composite.ComputeStructureFactors();
  composite.ComputeOpticalConstants();
  composite.ComputeStructureScalar();
  if (stack_elements) {
    stack_elements->insert(stack_elements->end(), composite.ElementsSeen.begin(), composite.ElementsSeen.end());
  }
  Result r;
  double* f_minus = Parts(r.f_minus);
  double* f_plus = Parts(r.f_plus);
  double* chi_minus = Parts(r.chi_minus);
  double* chi_plus = Parts(r.chi_plus);
  composite.GetStructureFactors(&r.sum_f1, &r.sum_f2, &f_minus[0], &f_minus[1], &f_plus[0], &f_plus[1]);
  composite.GetOpticalConstants(&r.chi0_real, &r.chi0_imag, &chi_minus[0], &chi_minus[1], &chi_plus[0],
                                &chi_plus[1]);
  composite.GetLattice(&r.a, &r.b, &r.c);
  composite.GetAngles(&r.alpha, &r.beta, &r.gamma);
  composite.GetStructureScalar(&r.structure_scalar);
  r.lambda_angstrom = run.lambda_angstrom;
  r.h = run.h;
  r.k = run.k;
  r.l = run.l;
  r.theta_degrees = run.theta_degrees;
  return r;
}

}  // namespace xrd
