// input.dat and output.dat as texts: the exact scanning of a run
// description, and the one formatted write of the sixteen results.
#include <cmath>

#include "runtime/number_format.hpp"
#include "runtime/text_scanner.hpp"
#include "runtime/warning.hpp"
#include "driver/run.hpp"
#include "xrdcalc/calculator.hpp"

namespace xrd {

namespace {

constexpr const char* kInputFile = "input.dat";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kValueNames[] = {
    "lattice constant a", "lattice constant b", "lattice constant c", "the fourth value", "the fifth value",
    "the sixth value",    "the wavelength",     "the index h",        "the index k",      "the index l",
    "the Bragg angle"};

// A short view of the text where scanning stopped, for messages.
std::string TextNear(std::string_view rest) {
  if (rest.empty()) return "the end of the file";
  std::string_view shown = rest.substr(0, std::min<std::size_t>(rest.find('\n'), 20));
  std::string near = "\"";
  near.append(shown);
  near += '"';
  return near;
}

}  // namespace

RunInput ParseRunInput(std::string_view text, std::vector<std::string>* warnings) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  RunInput run;
  double v[11] = {};
  TextScanner scanner(text);
  int scanned = scanner.Scan("%lf%lf%lf\n%lf%lf%lf\n%lf\n%lf%lf%lf\n%lf\n", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5],
                             &v[6], &v[7], &v[8], &v[9], &v[10]);
  if (scanned < 11) {
    const int missing = scanned < 0 ? 0 : scanned;
    throw Error(std::string(kInputFile) + ": " + kValueNames[missing] + " (number " + std::to_string(missing + 1) +
                " of 11) is missing or malformed near " + TextNear(scanner.rest()));
  }
  const std::size_t formula_start = scanner.position();
  if (!scanner.SkipPast('\n')) {
    throw Error(std::string(kInputFile) + ": the file ends before the line feed that ends the formula line");
  }
  run.a = v[0];
  run.b = v[1];
  run.c = v[2];
  run.value4 = v[3];
  run.value5 = v[4];
  run.value6 = v[5];
  run.lambda_angstrom = v[6];
  run.h = v[7];
  run.k = v[8];
  run.l = v[9];
  run.theta_degrees = v[10];
  run.formula.assign(text.substr(formula_start, scanner.position() - 1 - formula_start));
  if (scanner.Scan("%lf", &run.scale) != 1) {
    throw Error(std::string(kInputFile) + ": the scale after the formula line is missing or malformed near " +
                TextNear(scanner.rest()));
  }
  const double lambda_angstrom = v[6];
  if (!(lambda_angstrom > 0.0) || std::isinf(lambda_angstrom)) {
    throw Error(std::string(kInputFile) + ": the wavelength (value 7) is " + FormatG(lambda_angstrom) +
                "; it must be a positive, finite number of angstroms");
  }
  const std::string_view rest = scanner.rest();
  const std::size_t extra = rest.find_first_not_of(" \t\n\v\f\r");
  if (extra != std::string_view::npos) {
    const std::string_view ignored = rest.substr(extra, rest.find_last_not_of(" \t\n\v\f\r") + 1 - extra);
    const std::string warning = std::string(kInputFile) + ": text after the scale is ignored: " + Quote(ignored);
    if (warnings) warnings->push_back(warning);
  }
  return run;
}

std::array<double, 16> Result::values() const {
  return {sum_f1,          sum_f2,          f_minus.real(),   f_minus.imag(),   f_plus.real(),   f_plus.imag(),
          chi0_real,       chi0_imag,       chi_minus.real(), chi_minus.imag(), chi_plus.real(), chi_plus.imag(),
          a,               b,               c,                structure_scalar};
}

Result ResultOf(const std::array<double, 16>& v) {
  Result result;
  result.sum_f1 = v[0];
  result.sum_f2 = v[1];
  result.f_minus = {v[2], v[3]};
  result.f_plus = {v[4], v[5]};
  result.chi0_real = v[6];
  result.chi0_imag = v[7];
  result.chi_minus = {v[8], v[9]};
  result.chi_plus = {v[10], v[11]};
  result.a = v[12];
  result.b = v[13];
  result.c = v[14];
  result.structure_scalar = v[15];
  return result;
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
