// f1/f2 record reading. The rows of the tables in use are plain decimal
// numbers: those are read by a reader of their own, which converts the
// energies at once and leaves f1 and f2 as text until a row is used; rows
// in any other form go to the scanner.
#include "element/anomalous_record.hpp"

#include <charconv>
#include <cstdint>
#include <limits>

#include "runtime/c_number.hpp"
#include "runtime/character_class.hpp"
#include "runtime/text_scanner.hpp"

namespace xrd {

namespace {

// The number of values of the row that scanned (3 for a whole row; -1 at
// the end of the text).
int ScanRow(TextScanner& scanner, AnomalousRow& row) {
  return scanner.Scan("%lf %lf %lf", &row.energy_ev, &row.f1, &row.f2);
}

// The first piece after the header that is neither a comment nor empty.
bool ReadFirstRow(TextScanner& scanner, AnomalousRow& row, std::string* problem) {
  std::string_view piece;
  do {
    if (!scanner.ReadPiece(piece)) {
      *problem = "the record has no data row";
      return false;
    }
  } while (piece[0] == '#' || piece[0] == '\n');
  TextScanner piece_scanner(piece.substr(0, piece.find('\0')));
  if (ScanRow(piece_scanner, row) != 3) {
    *problem = "the first data row is not three numbers";
    return false;
  }
  return true;
}

// Where a row scan read no number and stopped at the next record's header
// or at the end of the text, the element's rows have ended; anywhere else
// the row is malformed.
bool RowsEnded(const TextScanner& scanner, int values_read) {
  if (values_read > 0) return false;
  std::string_view rest = scanner.rest();
  std::size_t next = rest.find_first_not_of(kScanSpaces);
  return next == std::string_view::npos || rest[next] == '#';
}

// Room for the rows of a record of the tables in use (up to about 700), so
// that reading one allocates once.
constexpr std::size_t kRowsReserved = 1024;

constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// The end of a plain decimal number at `p` (an optional minus sign, digits
// with at most one point, at least one digit, an optional exponent "e" or
// "E" with an optional sign and digits) where it is followed by white space
// or the end of the text; nullptr for anything else: a plus sign,
// hexadecimal, infinities, NaNs, a number cut short ("1e"), or one followed
// by another character. Such a number reads alike with std::from_chars and
// with "%lf" (which converts decimal numbers with std::from_chars too).
const char* PlainNumberEnd(const char* p, const char* end, double* value = nullptr) {
  const bool negative = p < end && *p == '-';
  if (negative) ++p;
  std::uint64_t mantissa = 0;
  int digits = 0;
  int fraction_digits = 0;
  const char* start = p;
  for (; p < end && IsDigit(*p); ++p, ++digits) mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
  if (p < end && *p == '.') {
    for (++p; p < end && IsDigit(*p); ++p, ++digits, ++fraction_digits) {
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(*p - '0');
    }
  }
  if (digits == 0) return nullptr;
  bool exponent = false;
  if (p < end && (*p == 'e' || *p == 'E')) {
    exponent = true;
    ++p;
    if (p < end && (*p == '-' || *p == '+')) ++p;
    const char* exponent_digits = p;
    while (p < end && IsDigit(*p)) ++p;
    if (p == exponent_digits) return nullptr;
  }
  if (p != end && !IsScanSpace(*p)) return nullptr;
  if (value) {
    // Up to 15 digits and no exponent: the mantissa and the power of ten
    // are exact doubles, so their quotient is the correctly rounded value,
    // the one std::from_chars gives. Anything else goes to from_chars.
    if (!exponent && digits <= 15) {
      *value = static_cast<double>(mantissa) / kPowersOfTen[fraction_digits];
      if (negative) *value = -*value;
    } else if (std::from_chars(negative ? start - 1 : start, p, *value).ec != std::errc()) {
      return nullptr;  // beyond the range of double
    }
  }
  return p;
}

const char* SkipSpace(const char* p, const char* end) {
  while (p < end && IsScanSpace(*p)) ++p;
  return p;
}

// Converts a plain number as "%lf" does: std::from_chars, and the C
// library's strtod where the value lies beyond the range of double.
double ConvertPlainNumber(const char* begin, const char* end) {
  double value = 0.0;
  const std::from_chars_result result = std::from_chars(begin, end, value);
  if (result.ec != std::errc()) ConvertCNumber(begin, end, value);
  return value;
}

// Reads rows of three plain numbers from `position` while the text holds
// them, up to the next header or the end of the text: the form every table
// in use has. The energies are converted as "%lf %lf %lf" would convert
// them; f1 and f2 are checked and left as text until a row is used. Stops
// at the start of the first row in any other form (and says the rows have
// not ended), for the scanner to read from there.
bool ReadPlainRows(std::string_view text, std::size_t& position, std::vector<AnomalousRow>& rows) {
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  for (;;) {
    const char* p = SkipSpace(begin + position, end);
    if (p == end || *p == '#') return true;
    AnomalousRow row;
    const char* energy_end = PlainNumberEnd(p, end, &row.energy_ev);
    if (!energy_end) return false;
    row.unconverted = SkipSpace(energy_end, end);
    row.text_end = end;
    const char* f1_end = PlainNumberEnd(row.unconverted, end);
    if (!f1_end) return false;
    const char* f2_end = PlainNumberEnd(SkipSpace(f1_end, end), end);
    if (!f2_end) return false;
    rows.push_back(row);
    position = static_cast<std::size_t>(f2_end - begin);
  }
}

bool EnergiesAscend(const std::vector<AnomalousRow>& rows) {
  for (std::size_t i = 1; i < rows.size(); ++i) {
    if (!(rows[i - 1].energy_ev <= rows[i].energy_ev)) return false;
  }
  return true;
}

}  // namespace

std::string EnergyText(double energy_ev) { return std::to_string(energy_ev) + " eV"; }

AnomalousRow Converted(AnomalousRow row) {
  if (!row.unconverted) return row;
  const char* f1_begin = row.unconverted;
  const char* f1_end = PlainNumberEnd(f1_begin, row.text_end);
  const char* f2_begin = f1_end ? SkipSpace(f1_end, row.text_end) : nullptr;
  const char* f2_end = f2_begin ? PlainNumberEnd(f2_begin, row.text_end) : nullptr;
  if (!f2_end) {
    row.f1 = row.f2 = std::numeric_limits<double>::quiet_NaN();
  } else {
    row.f1 = ConvertPlainNumber(f1_begin, f1_end);
    row.f2 = ConvertPlainNumber(f2_begin, f2_end);
  }
  row.unconverted = nullptr;
  return row;
}

void ConvertAll(AnomalousRecord& record) {
  for (AnomalousRow& row : record.rows) row = Converted(row);
}

std::optional<AnomalousRecord> ReadAnomalousRecord(std::string_view table_text, const RecordHeaders& headers,
                                                   ChemicalSymbol symbol, std::string* problem) {
  TextScanner scanner(table_text);
  AnomalousRecord record;
  std::size_t after_field = 0;
  switch (SearchRecordHeaders(headers, symbol, after_field)) {
    case RecordSearch::Found:
      break;
    case RecordSearch::EndRecord:
      return record;
    case RecordSearch::EndOfText:
      *problem = kCutShortBeforeRecord;
      return std::nullopt;
  }
  scanner.Seek(after_field);
  AnomalousRow row;
  if (!ReadFirstRow(scanner, row, problem)) return std::nullopt;
  record.rows.reserve(kRowsReserved);
  record.rows.push_back(row);
  std::size_t position = scanner.position();
  const bool ended = ReadPlainRows(table_text, position, record.rows);
  scanner.Seek(position);
  while (!ended) {
    const int values_read = ScanRow(scanner, row);
    if (values_read == 3) {
      record.rows.push_back(row);
      continue;
    }
    if (!RowsEnded(scanner, values_read)) {
      *problem = "the data row after energy " + EnergyText(record.rows.back().energy_ev) + " is not three numbers";
      return std::nullopt;
    }
    break;
  }
  if (!headers.ends_with_end_record) {
    *problem = kCutShortAfterRecord;
    return std::nullopt;
  }
  record.present = true;
  record.ascending = EnergiesAscend(record.rows);
  return record;
}

}  // namespace xrd
