// f1/f2 record reading and interpolation. A record is read whole once; the
// rows that enclose the run's energy are then found by a binary search
// where the energies ascend, by a linear one where they do not.
#include "element/anomalous_factors.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "xrdcalc/error.hpp"
#include "runtime/warning.hpp"
#include "element/element.hpp"

namespace xrd {

namespace {

// hc in eV * angstrom.
constexpr double kEnergyWavelengthProduct = 12398.100046;

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
  std::size_t next = rest.find_first_not_of(" \t\n\v\f\r");
  return next == std::string_view::npos || rest[next] == '#';
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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
  if (p != end && !IsSpace(*p)) return nullptr;
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
  while (p < end && IsSpace(*p)) ++p;
  return p;
}

// Converts a plain number as "%lf" does: std::from_chars, and strtod where
// the value lies beyond the range of double.
double ConvertPlainNumber(const char* begin, const char* end) {
  double value = 0.0;
  const std::from_chars_result result = std::from_chars(begin, end, value);
  if (result.ec == std::errc()) return value;
  return std::strtod(std::string(begin, end).c_str(), nullptr);
}

// The row's f1 and f2, converted where they were left as text. Should the
// text no longer hold them (a mapped table rewritten under the run, which
// the run notices and answers by starting again), they are NaN.
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

void ConvertAll(AnomalousRecord& record) {
  for (AnomalousRow& row : record.rows) row = Converted(row);
}

bool EnergiesAscend(const std::vector<AnomalousRow>& rows) {
  for (std::size_t i = 1; i < rows.size(); ++i) {
    if (!(rows[i - 1].energy_ev <= rows[i].energy_ev)) return false;
  }
  return true;
}

void Interpolate(const AnomalousRow& previous, const AnomalousRow& current, double energy_ev, double& f1,
                 double& f2) {
  if (current.energy_ev == previous.energy_ev) {  // an edge: the later row holds
    f1 = current.f1;
    f2 = current.f2;
    return;
  }
  double t = (energy_ev - previous.energy_ev) / (current.energy_ev - previous.energy_ev);
  f1 = previous.f1 + t * (current.f1 - previous.f1);
  f2 = previous.f2 + t * (current.f2 - previous.f2);
}

// The first row after the first whose energy is above `energy_ev`, or the
// number of rows when there is none.
std::size_t FirstRowAbove(const AnomalousRecord& record, double energy_ev) {
  const std::vector<AnomalousRow>& rows = record.rows;
  auto at_or_below = [energy_ev](const AnomalousRow& row) { return energy_ev >= row.energy_ev; };
  if (record.ascending) {
    return static_cast<std::size_t>(std::partition_point(rows.begin() + 1, rows.end(), at_or_below) - rows.begin());
  }
  std::size_t i = 1;
  while (i < rows.size() && at_or_below(rows[i])) ++i;
  return i;
}

std::string EnergyText(double energy_ev) { return std::to_string(energy_ev) + " eV"; }

}  // namespace

double PhotonEnergy(double lambda_angstrom) { return kEnergyWavelengthProduct / lambda_angstrom; }

std::optional<AnomalousRecord> ReadAnomalousRecord(std::string_view table_text, ChemicalSymbol symbol,
                                                   std::string* problem) {
  return ReadAnomalousRecord(table_text, ScanRecordHeaders(table_text), symbol, problem);
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
      *problem = "no record for the element, and no Cf end record: the table is cut short";
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
    *problem = "no Cf end record after the element's record: the table is cut short";
    return std::nullopt;
  }
  record.present = true;
  record.ascending = EnergiesAscend(record.rows);
  return record;
}

AnomalousOutcome InterpolateAnomalous(const AnomalousRecord& record, double energy_ev, double& f1, double& f2,
                                      std::string* problem) {
  const std::vector<AnomalousRow>& rows = record.rows;
  const std::size_t n = rows.size();
  if (n == 1) {
    const AnomalousRow only = Converted(rows[0]);
    f1 = only.f1;
    f2 = only.f2;
    *problem = "energy " + EnergyText(energy_ev) + " outside the table's only row (" + EnergyText(rows[0].energy_ev) +
               "); that row's values used";
    return AnomalousOutcome::OutsideTable;
  }
  const std::size_t above = FirstRowAbove(record, energy_ev);
  if (above == n) {
    Interpolate(Converted(rows[n - 2]), Converted(rows[n - 1]), energy_ev, f1, f2);
    *problem = "energy " + EnergyText(energy_ev) + " at or above the table's last row (" +
               EnergyText(rows[n - 1].energy_ev) + "); values extrapolated";
    return AnomalousOutcome::OutsideTable;
  }
  Interpolate(Converted(rows[above - 1]), Converted(rows[above]), energy_ev, f1, f2);
  if (energy_ev < rows[0].energy_ev) {
    *problem = "energy " + EnergyText(energy_ev) + " below the table's first row (" + EnergyText(rows[0].energy_ev) +
               "); values extrapolated";
    return AnomalousOutcome::OutsideTable;
  }
  return AnomalousOutcome::Interpolated;
}

AnomalousTableOutcome AnomalousFromTable(std::string_view table_text, ChemicalSymbol symbol, double energy_ev,
                                         double& f1, double& f2, std::string* problem) {
  std::string local_problem;
  std::string& why = problem ? *problem : local_problem;
  std::optional<AnomalousRecord> record = ReadAnomalousRecord(table_text, symbol, &why);
  if (!record) return AnomalousTableOutcome::Unusable;
  if (!record->present) {
    why = "no record for the element (searched up to the Cf record)";
    return AnomalousTableOutcome::Absent;
  }
  return InterpolateAnomalous(*record, energy_ev, f1, f2, &why) == AnomalousOutcome::Interpolated
             ? AnomalousTableOutcome::Interpolated
             : AnomalousTableOutcome::OutsideTable;
}

bool TElement::AnomalousFactors(double& f1, double& f2) const {
  return AnomalousFactorsAt(Symbol, PhotonEnergy(Lambda), f1, f2);
}

bool AnomalousFactorsAt(ChemicalSymbol Symbol, double energy_ev, double& f1, double& f2) {
  const DataFiles& files = CurrentDataFiles();
  const DataFile& table = files.Get("f1f2.dat");
  auto element = [&] { return Printable(table.path()) + ": element " + Symbol.ToString() + ": "; };
  const char key[] = {'f', '1', 'f', '2', ' ', Symbol.first, Symbol.second};
  const AnomalousRecord& record = table.Memo<AnomalousRecord>(std::string_view(key, sizeof key), [&] {
    std::string problem;
    std::string_view text;
    const RecordHeaders headers = table.HeadersThrough(Symbol, text);
    std::optional<AnomalousRecord> read = ReadAnomalousRecord(text, headers, Symbol, &problem);
    if (!read) throw Error(element() + problem);
    // A record kept for many evaluations is converted whole once.
    if (files.loading() == DataFiles::Loading::Copy) ConvertAll(*read);
    return std::move(*read);
  });
  if (!record.present) {
    Warn(element() + "no record for the element (searched up to the Cf record); no anomalous correction, f1 = f0(0), "
                     "f2 = 0");
    return false;
  }
  std::string problem;
  if (InterpolateAnomalous(record, energy_ev, f1, f2, &problem) == AnomalousOutcome::OutsideTable) {
    Warn(element() + problem);
  }
  return true;
}

}  // namespace xrd
