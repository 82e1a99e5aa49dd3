// A run's sixteen values in output.dat's order, and output.dat's text.
#include "xrdcalc/result.hpp"

#include "runtime/number_format.hpp"

namespace xrd {

std::array<double, 16> Result::values() const {
  return {sum_f1,          sum_f2,          f_minus.real(),   f_minus.imag(),   f_plus.real(),   f_plus.imag(),
          chi0_real,       chi0_imag,       chi_minus.real(), chi_minus.imag(), chi_plus.real(), chi_plus.imag(),
          a,               b,               c,                structure_scalar};
}

std::string FormatOutput(const Result& result) {
  const std::array<double, 16> values = result.values();
  std::string text;
  for (int i = 0; i < 12; ++i) text += FormatG(values[i]) + "\n";
  text += "\n";
  text += FormatG(values[12]) + "\n";
  text += FormatG(values[13]) + "\n";
  text += FormatF(values[14]) + "\n";
  text += "\n";
  text += FormatF(values[15]) + "\n";
  return text;
}

}  // namespace xrd
