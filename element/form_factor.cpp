// f0 record reading and evaluation: the tenth '#' of a record is followed by
// the literal "UP MPFIT guess (Waasmaier&Kirfel) data: " and eleven numbers
// a1..a5, c, b1..b5, each of the first ten followed directly by a comma.
#include "element/form_factor.hpp"

#include "driver/checked_math.hpp"
#include "driver/warning.hpp"
#include "element/element.hpp"

namespace xrd {

namespace {

constexpr int kHashesBeforeCoefficients = 10;
constexpr const char* kCoefficientsLiteral = "UP MPFIT guess (Waasmaier&Kirfel) data: ";

struct GaussianCoefficients {
  double a[5] = {};
  double c = 0.0;
  double b[5] = {};
};

// Reads the eleven numbers; false when one does not scan or lacks its comma.
bool ReadCoefficients(TextScanner& scanner, GaussianCoefficients& k) {
  double* targets[11] = {&k.a[0], &k.a[1], &k.a[2], &k.a[3], &k.a[4], &k.c,
                         &k.b[0], &k.b[1], &k.b[2], &k.b[3], &k.b[4]};
  for (int i = 0; i < 11; ++i) {
    const char* format = i < 10 ? "%lf," : "%lf";
    if (scanner.Scan(format, targets[i]) != 1 || !scanner.last_scan_complete()) return false;
  }
  return true;
}

double Evaluate(const GaussianCoefficients& k, double s) {
  double f0 = k.c;
  for (int i = 0; i < 5; ++i) f0 += k.a[i] * math::exp((-k.b[i] * s) * s);
  return f0;
}

}  // namespace

double FormFactorFromTable(std::string_view table_text, ChemicalSymbol symbol, double s, std::string* problem) {
  TextScanner scanner(table_text);
  if (!FindElementRecord(scanner, symbol)) {
    if (problem) *problem = "no record for the element (searched up to the Cf record)";
    return 0.0;
  }
  for (int hashes = 1; hashes < kHashesBeforeCoefficients; ++hashes) {
    if (!scanner.SkipPast('#')) {
      if (problem) *problem = "the record ends before its tenth '#'";
      return 0.0;
    }
  }
  scanner.Scan(kCoefficientsLiteral);
  if (!scanner.last_scan_complete()) {
    if (problem) *problem = std::string("the tenth '#' is not followed by \"") + kCoefficientsLiteral + "\"";
    return 0.0;
  }
  GaussianCoefficients coefficients;
  if (!ReadCoefficients(scanner, coefficients)) {
    if (problem) *problem = "the coefficients are not eleven numbers, the first ten each followed by a comma";
    return 0.0;
  }
  return Evaluate(coefficients, s);
}

double TElement::FormFactorF0(double s) const {
  std::string problem;
  std::optional<DataFile> table = OpenDataFile("f0_xop.dat", &problem);
  if (!table) {
    Warn(problem + "; f0 of " + Symbol.ToString() + " taken as 0");
    return 0.0;
  }
  double f0 = FormFactorFromTable(table->text, Symbol, s, &problem);
  if (!problem.empty()) Warn(Printable(table->path) + ": element " + Symbol.ToString() + ": " + problem + "; f0 taken as 0");
  return f0;
}

}  // namespace xrd
