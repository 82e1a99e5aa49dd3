// f1/f2 record reading and interpolation. The first data row is the first
// line piece (at most 79 characters) after the header that begins with
// neither '#' nor a line end; later rows are read as "%lf %lf %lf" until the
// first row whose energy is above the run's energy.
#include "element/anomalous_factors.hpp"

#include "driver/warning.hpp"
#include "element/element.hpp"

namespace xrd {

namespace {

// hc in eV * angstrom.
constexpr double kEnergyWavelengthProduct = 12398.100046;

struct Row {
  double energy_ev = 0.0;
  double f1 = 0.0;
  double f2 = 0.0;
};

// The number of values of the row that scanned (3 for a whole row; -1 at
// the end of the text).
int ScanRow(TextScanner& scanner, Row& row) { return scanner.Scan("%lf %lf %lf", &row.energy_ev, &row.f1, &row.f2); }

// The first piece after the header that is neither a comment nor empty.
bool ReadFirstRow(TextScanner& scanner, Row& row, std::string* problem) {
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

void Interpolate(const Row& previous, const Row& current, double energy_ev, double& f1, double& f2) {
  if (current.energy_ev == previous.energy_ev) {  // an edge: the later row holds
    f1 = current.f1;
    f2 = current.f2;
    return;
  }
  double t = (energy_ev - previous.energy_ev) / (current.energy_ev - previous.energy_ev);
  f1 = previous.f1 + t * (current.f1 - previous.f1);
  f2 = previous.f2 + t * (current.f2 - previous.f2);
}

}  // namespace

double PhotonEnergy(double lambda_angstrom) { return kEnergyWavelengthProduct / lambda_angstrom; }

AnomalousOutcome AnomalousFromTable(std::string_view table_text, ChemicalSymbol symbol, double energy_ev, double& f1,
                                    double& f2, std::string* problem) {
  std::string local_problem;
  std::string& why = problem ? *problem : local_problem;
  TextScanner scanner(table_text);
  if (!FindElementRecord(scanner, symbol)) {
    why = "no record for the element (searched up to the Cf record)";
    return AnomalousOutcome::Unusable;
  }
  Row previous;
  Row current;
  if (!ReadFirstRow(scanner, current, &why)) return AnomalousOutcome::Unusable;
  const Row first = current;
  int rows = 1;
  for (;;) {
    Row next;
    const int values_read = ScanRow(scanner, next);
    if (values_read != 3) {
      if (!RowsEnded(scanner, values_read)) {
        why = "a data row after energy " + std::to_string(current.energy_ev) + " eV is not three numbers";
        return AnomalousOutcome::Unusable;
      }
      why = "energy " + std::to_string(energy_ev) + " eV at or above the table's last row (" +
            std::to_string(current.energy_ev) + " eV); values extrapolated";
      if (rows == 1) {
        f1 = current.f1;
        f2 = current.f2;
      } else {
        Interpolate(previous, current, energy_ev, f1, f2);
      }
      return AnomalousOutcome::OutsideTable;
    }
    previous = current;
    current = next;
    ++rows;
    if (!(energy_ev >= current.energy_ev)) break;
  }
  Interpolate(previous, current, energy_ev, f1, f2);
  if (energy_ev < first.energy_ev) {
    why = "energy " + std::to_string(energy_ev) + " eV below the table's first row (" +
          std::to_string(first.energy_ev) + " eV); values extrapolated";
    return AnomalousOutcome::OutsideTable;
  }
  return AnomalousOutcome::Interpolated;
}

bool TElement::AnomalousFactors(double& f1, double& f2) const {
  std::string problem;
  std::optional<DataFile> table = OpenDataFile("f1f2.dat", &problem);
  if (!table) {
    Warn(problem + "; no anomalous correction for " + Symbol.ToString());
    return false;
  }
  AnomalousOutcome outcome = AnomalousFromTable(table->text, Symbol, PhotonEnergy(Lambda), f1, f2, &problem);
  if (outcome == AnomalousOutcome::Unusable) {
    Warn(Printable(table->path) + ": element " + Symbol.ToString() + ": " + problem + "; no anomalous correction");
    return false;
  }
  if (outcome == AnomalousOutcome::OutsideTable) Warn(Printable(table->path) + ": element " + Symbol.ToString() + ": " + problem);
  return true;
}

}  // namespace xrd
