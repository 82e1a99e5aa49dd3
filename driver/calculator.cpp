// The library's calculator: one run description through the composite
// crystal's steps in the program's order, on data files read once. The
// program computes through ComputeRun too, so the two give the same bits.
#include "xrdcalc/calculator.hpp"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cmath>

#include "composite/composite_structure.hpp"
#include "driver/run.hpp"
#include "element/anomalous_factors.hpp"
#include "element/element.hpp"
#include "element/form_factor.hpp"
#include "runtime/data_files.hpp"
#include "runtime/number_format.hpp"
#include "runtime/warning.hpp"

#ifndef XRDCALC_INSTALLED_DATA_DIR
#define XRDCALC_INSTALLED_DATA_DIR ""
#endif
#ifndef XRDCALC_SOURCE_DATA_DIR
#define XRDCALC_SOURCE_DATA_DIR ""
#endif

namespace xrd {

namespace {

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return !path.empty() && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// <dir>/xrdcalc/Base beside the file that holds this code, where that is
// an installed shared library (<prefix>/lib/libxrdcalc.so): so an installed
// tree finds its data wherever it was installed to.
std::string DataDirectoryBesideLibrary() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DataDirectoryBesideLibrary), &info) == 0 || !info.dli_fname) return {};
  const std::string library = info.dli_fname;
  const std::size_t slash = library.rfind('/');
  if (slash == std::string::npos) return {};
  return library.substr(0, slash) + "/xrdcalc/Base";
}


}  // namespace

std::array<double, 16> ComputeRun(const DataFiles& files, const RunInput& run, Diagnostics& diagnostics) {
  if (!(run.lambda_angstrom > 0.0) || std::isinf(run.lambda_angstrom)) {
    throw Error("the wavelength is " + FormatG(run.lambda_angstrom) +
                "; it must be a positive, finite number of angstroms");
  }
  DiagnosticsScope diagnostics_scope(diagnostics);
  DataFilesScope files_scope(files);
  TCompositeStructure composite(run.a, run.b, run.c, run.value4, run.value5, run.value6, run.lambda_angstrom, run.h,
                                run.k, run.l, run.theta_degrees, run.formula, run.scale);
  composite.ComputeStructureFactors();
  composite.ComputeOpticalConstants();
  composite.ComputeStructureScalar();
  std::array<double, 16> r{};
  composite.GetStructureFactors(&r[0], &r[1], &r[2], &r[3], &r[4], &r[5]);
  composite.GetOpticalConstants(&r[6], &r[7], &r[8], &r[9], &r[10], &r[11]);
  composite.GetLattice(&r[12], &r[13], &r[14]);
  composite.GetStructureScalar(&r[15]);
  return r;
}

std::string DefaultDataDirectory() {
  for (const std::string& candidate :
       {DataDirectoryBesideLibrary(), std::string(XRDCALC_INSTALLED_DATA_DIR), std::string(XRDCALC_SOURCE_DATA_DIR)}) {
    if (IsDirectory(candidate)) return candidate;
  }
  return XRDCALC_INSTALLED_DATA_DIR;
}

double PhotonEnergyOf(double lambda_angstrom) { return PhotonEnergy(lambda_angstrom); }

Calculator::Calculator() : Calculator(DefaultDataDirectory()) {}

Calculator::Calculator(std::string data_directory)
    : files_(std::make_shared<const DataFiles>(std::move(data_directory), DataFiles::Loading::Copy)) {}

Calculator::~Calculator() = default;

Result Calculator::compute(const RunInput& input) const {
  Diagnostics diagnostics;
  Result result = ResultOf(ComputeRun(*files_, input, diagnostics));
  result.warnings = diagnostics.warnings();
  result.math_errors = diagnostics.math_errors();
  return result;
}

std::vector<std::string> Calculator::structures() const {
  std::vector<std::string> names = files_->NamesEndingIn(".stf");
  for (std::string& name : names) name.resize(name.size() - 4);
  return names;
}

AnomalousFactors Calculator::anomalous_factors(std::string_view element, double energy_ev) const {
  Diagnostics diagnostics;
  DiagnosticsScope diagnostics_scope(diagnostics);
  DataFilesScope files_scope(*files_);
  const ChemicalSymbol symbol = SymbolFromText(element);
  AnomalousFactors factors;
  if (!AnomalousFactorsAt(symbol, energy_ev, factors.f1, factors.f2)) {
    factors.f1 = FormFactorOf(symbol, 0.0);
    factors.f2 = 0.0;
  }
  factors.warnings = diagnostics.warnings();
  return factors;
}

double Calculator::form_factor(std::string_view element, double s_per_angstrom) const {
  Diagnostics diagnostics;
  DiagnosticsScope diagnostics_scope(diagnostics);
  DataFilesScope files_scope(*files_);
  return FormFactorOf(SymbolFromText(element), s_per_angstrom);
}

const std::string& Calculator::data_directory() const { return files_->directory(); }

}  // namespace xrd
