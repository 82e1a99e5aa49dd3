// TElement: the element's complex scattering factor f = f0(s) + f1 - f0(0)
// + i*f2, damped by its thermal vibration where it has one, summed over its
// sites into F(hkl) and F(-h-k-l).
#include "element/element.hpp"

#include "element/anomalous_factors.hpp"
#include "element/element_sites.hpp"
#include "element/form_factor.hpp"
#include "runtime/checked_math.hpp"
#include "runtime/data_files_scope.hpp"
#include "runtime/math_constants.hpp"
#include "runtime/printable.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

// The element's sites in the structure file, read once per loaded file.
const SiteTable& SitesOf(const DataFile& file, ChemicalSymbol symbol) {
  const char key[] = {'s', 'i', 't', 'e', 's', ' ', symbol.first, symbol.second};
  return file.Memo<SiteTable>(std::string_view(key, sizeof key), [&] {
    std::string problem;
    std::optional<SiteTable> read = ReadElementSites(file.text(), symbol, &problem);
    if (!read) throw Error(Printable(file.path()) + ": element " + symbol.ToString() + ": " + problem);
    return *read;
  });
}

}  // namespace

TElement::TElement(double lambda, double h, double k, double l, double theta, std::string file_name,
                   std::string_view symbol_text)
    : FileName(std::move(file_name)),
      Symbol(SymbolFromText(symbol_text)),
      Lambda(lambda),
      H(h),
      K(k),
      L(l),
      Theta(theta) {}

void TElement::Calculate() {
  const double theta_rad = (Theta * kPi) * kOneOver180;
  const double s = math::sin(theta_rad) / Lambda;
  StructureFactorSums& r = Sums;
  r = StructureFactorSums();

  double f1 = 0.0;
  double f2 = 0.0;
  const bool have_anomalous = AnomalousFactors(f1, f2);
  // f0 at 0 and at s, as FormFactorF0 gives them, from one lookup of the
  // element's coefficients.
  const GaussianCoefficients& f0 = FormFactorCoefficients(CurrentDataFiles(), Symbol);
  const double f0_zero = EvaluateFormFactor(f0, 0.0);
  const double f0_s = EvaluateFormFactor(f0, s);
  if (!have_anomalous) {  // no anomalous correction rather than undefined values
    f1 = f0_zero;
    f2 = 0.0;
  }
  const double f_prime = f1 - f0_zero;
  // Without a vibration the factor 1 leaves every bit as it is.
  const double damping = Displacement ? DebyeWallerFactor(*Displacement, s, AlongCShare) : 1.0;
  const double f_eff = (f0_s + f_prime) * damping;
  const double f2_damped = f2 * damping;

  const SiteTable& table = SitesOf(CurrentDataFiles().Get(FileName), Symbol);
  for (int i = 0; i < table.count; ++i) {
    const Site& site = table.sites[i];
    const double p = (H * site.x + K * site.y) + L * site.z;
    r.SumF1 += f1;
    r.SumF2 += f2;
    const double phi = kTwoPi * p;
    const double cos_phi = math::cos(phi);
    const double sin_phi = math::sin(phi);
    r.ReFPlus += f_eff * cos_phi - f2_damped * sin_phi;
    r.ImFPlus += f_eff * sin_phi + f2_damped * cos_phi;
    r.ReFMinus += f_eff * cos_phi + f2_damped * sin_phi;
    r.ImFMinus += f2_damped * cos_phi - f_eff * sin_phi;
  }
}

void TElement::GetResults(double& sum_f1, double& sum_f2, double& re_f_minus, double& im_f_minus, double& re_f_plus,
                          double& im_f_plus) const {
  Sums.CopyTo(&sum_f1, &sum_f2, &re_f_minus, &im_f_minus, &re_f_plus, &im_f_plus);
}

double TElement::FormFactorF0(double s) const {
  return EvaluateFormFactor(FormFactorCoefficients(CurrentDataFiles(), Symbol), s);
}

bool TElement::AnomalousFactors(double& f1, double& f2) const {
  return AnomalousFactorsAt(CurrentDataFiles(), Symbol, PhotonEnergy(Lambda), f1, f2);
}

}  // namespace xrd
