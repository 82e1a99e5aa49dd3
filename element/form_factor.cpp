// f0 record reading and evaluation: the tenth '#' of a record is followed by
// the literal "UP MPFIT guess (Waasmaier&Kirfel) data: " and eleven numbers
// a1..a5, c, b1..b5, each of the first ten followed directly by a comma.
#include "element/form_factor.hpp"

#include "runtime/checked_math.hpp"
#include "runtime/printable.hpp"
#include "runtime/text_scanner.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

constexpr int kHashesBeforeCoefficients = 10;
constexpr const char* kCoefficientsLiteral = "UP MPFIT guess (Waasmaier&Kirfel) data: ";

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

}  // namespace

double EvaluateFormFactor(const GaussianCoefficients& k, double s) {
  double f0 = k.c;
  for (int i = 0; i < 5; ++i) {
    const double exponent = (-k.b[i] * s) * s;
    // exp(0) is exactly 1 and reports nothing: at s = 0 (f0(0) of every
    // evaluation) the five calls are saved, with the same bits.
    f0 += exponent == 0.0 ? k.a[i] * 1.0 : k.a[i] * math::exp(exponent);
  }
  return f0;
}

std::optional<GaussianCoefficients> ReadFormFactorRecord(std::string_view table_text, const RecordHeaders& headers,
                                                         ChemicalSymbol symbol, std::string* problem) {
  TextScanner scanner(table_text);
  std::size_t after_field = 0;
  switch (SearchRecordHeaders(headers, symbol, after_field)) {
    case RecordSearch::Found:
      break;
    case RecordSearch::EndRecord:
      *problem = kNoRecord;
      return std::nullopt;
    case RecordSearch::EndOfText:
      *problem = kCutShortBeforeRecord;
      return std::nullopt;
  }
  if (!headers.ends_with_end_record) {
    *problem = kCutShortAfterRecord;
    return std::nullopt;
  }
  scanner.Seek(after_field);
  for (int hashes = 1; hashes < kHashesBeforeCoefficients; ++hashes) {
    if (!scanner.SkipPast('#')) {
      *problem = "the record ends before its tenth '#'";
      return std::nullopt;
    }
  }
  scanner.Scan(kCoefficientsLiteral);
  if (!scanner.last_scan_complete()) {
    *problem = std::string("the tenth '#' is not followed by \"") + kCoefficientsLiteral + "\"";
    return std::nullopt;
  }
  GaussianCoefficients coefficients;
  if (!ReadCoefficients(scanner, coefficients)) {
    *problem = "the coefficients are not eleven numbers, the first ten each followed by a comma";
    return std::nullopt;
  }
  return coefficients;
}

const GaussianCoefficients& FormFactorCoefficients(const DataFiles& files, ChemicalSymbol symbol) {
  const DataFile& table = files.Get("f0_xop.dat");
  const char key[] = {'f', '0', ' ', symbol.first, symbol.second};
  return table.Memo<GaussianCoefficients>(std::string_view(key, sizeof key), [&] {
    std::string problem;
    std::optional<GaussianCoefficients> read = ReadFormFactorRecord(table.text(), HeadersOf(table), symbol, &problem);
    if (!read) throw Error(Printable(table.path()) + ": element " + symbol.ToString() + ": " + problem);
    return *read;
  });
}

}  // namespace xrd
