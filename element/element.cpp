// TElement: the element's complex scattering factor f = f0(s) + f1 - f0(0)
// + i*f2 summed over its sites into F(hkl) and F(-h-k-l).
#include "element/element.hpp"

#include "runtime/checked_math.hpp"
#include "xrdcalc/error.hpp"
#include "runtime/warning.hpp"
#include "element/element_sites.hpp"
#include "element/form_factor.hpp"

namespace xrd {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kOneOver180 = 1.0 / 180.0;

}  // namespace

ChemicalSymbol SymbolFromText(std::string_view symbol_text) {
  ChemicalSymbol symbol;
  if (!symbol_text.empty()) symbol.first = symbol_text[0];
  if (symbol_text.size() > 1) symbol.second = symbol_text[1];
  return symbol;
}

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
  SumF1 = SumF2 = ReFMinus = ImFMinus = ReFPlus = ImFPlus = 0.0;

  double f1 = 0.0;
  double f2 = 0.0;
  const bool have_anomalous = AnomalousFactors(f1, f2);
  const GaussianCoefficients& coefficients = FormFactorCoefficients(Symbol);
  const double f0_zero = EvaluateFormFactor(coefficients, 0.0);
  const double f0_s = EvaluateFormFactor(coefficients, s);
  if (!have_anomalous) {  // no anomalous correction rather than undefined values
    f1 = f0_zero;
    f2 = 0.0;
  }
  const double f_prime = f1 - f0_zero;
  const double f_eff = f0_s + f_prime;

  const DataFile& file = CurrentDataFiles().Get(FileName);
  const char key[] = {'s', 'i', 't', 'e', 's', ' ', Symbol.first, Symbol.second};
  const SiteTable& table = file.Memo<SiteTable>(std::string_view(key, sizeof key), [&] {
    std::string problem;
    std::optional<SiteTable> read = ReadElementSites(file.text(), Symbol, &problem);
    if (!read) throw Error(Printable(file.path()) + ": element " + Symbol.ToString() + ": " + problem);
    return *read;
  });

  for (int i = 0; i < table.count; ++i) {
    const Site& site = table.sites[i];
    const double p = (H * site.x + K * site.y) + L * site.z;
    SumF1 += f1;
    SumF2 += f2;
    const double phi = kTwoPi * p;
    const double cos_phi = math::cos(phi);
    const double sin_phi = math::sin(phi);
    ReFPlus += f_eff * cos_phi - f2 * sin_phi;
    ImFPlus += f_eff * sin_phi + f2 * cos_phi;
    ReFMinus += f_eff * cos_phi + f2 * sin_phi;
    ImFMinus += f2 * cos_phi - f_eff * sin_phi;
  }
}

void TElement::GetResults(double& sum_f1, double& sum_f2, double& re_f_minus, double& im_f_minus, double& re_f_plus,
                          double& im_f_plus) const {
  sum_f1 = SumF1;
  sum_f2 = SumF2;
  re_f_minus = ReFMinus;
  im_f_minus = ImFMinus;
  re_f_plus = ReFPlus;
  im_f_plus = ImFPlus;
}

}  // namespace xrd
