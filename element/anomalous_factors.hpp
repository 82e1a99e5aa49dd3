// The anomalous scattering factors f1 and f2, interpolated linearly in
// photon energy from the per-element rows (energy in eV, f1, f2) of f1f2.dat.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data_files.hpp"

namespace xrd {

// Photon energy in eV of the wavelength `lambda_angstrom`.
double PhotonEnergy(double lambda_angstrom);

struct AnomalousRow {
  double energy_ev = 0.0;
  double f1 = 0.0;
  double f2 = 0.0;
  // Where f1 and f2 are not converted yet: the text of the row from f1 on
  // and the end of the table's text (the table outlives the record).
  const char* unconverted = nullptr;
  const char* text_end = nullptr;
};

// An element's record of f1f2.dat, read whole: its rows in file order, or
// none when the table ends at its Cf end record without the element.
struct AnomalousRecord {
  bool present = false;
  std::vector<AnomalousRow> rows;  // at least one when present
  bool ascending = false;          // energies never decrease
};

// Reads the record of `symbol` from the text of an f1f2.dat table: the
// first data row is the first line piece (at most 79 characters) after the
// header that begins with neither '#' nor a line end; later rows are read
// as "%lf %lf %lf" up to the next header or the end of the text. Gives
// nothing when the record cannot be used (no data row, a row that is not
// three numbers, no Cf end record after it: the table is cut short);
// `problem` then says why.
std::optional<AnomalousRecord> ReadAnomalousRecord(std::string_view table_text, ChemicalSymbol symbol,
                                                   std::string* problem);

// As above, with the table's headers already scanned.
std::optional<AnomalousRecord> ReadAnomalousRecord(std::string_view table_text, const RecordHeaders& headers,
                                                   ChemicalSymbol symbol, std::string* problem);

enum class AnomalousOutcome {
  Interpolated,   // energy inside the table
  OutsideTable,   // extrapolated (below the first row or at/above the last)
};

// f1 and f2 at `energy_ev` from the rows of a present record: the line
// through the last row at or below the energy and the first row above it
// (the first two rows below the table, the last two at or above its end).
// `problem` tells where the energy lies when it is outside the table.
AnomalousOutcome InterpolateAnomalous(const AnomalousRecord& record, double energy_ev, double& f1, double& f2,
                                      std::string* problem);

enum class AnomalousTableOutcome {
  Interpolated,
  OutsideTable,
  Absent,    // element not in the table: nothing written
  Unusable,  // the record or the table cannot be used: nothing written
};

// f1 and f2 of `symbol` at `energy_ev` from this thread's f1f2.dat (its
// record read once per loaded table). Writes both and returns true, or, for
// an element the table lacks, warns and writes neither. Throws Error when
// the table or the record cannot be used.
bool AnomalousFactorsAt(ChemicalSymbol symbol, double energy_ev, double& f1, double& f2);

// ReadAnomalousRecord and InterpolateAnomalous on table text in one call.
AnomalousTableOutcome AnomalousFromTable(std::string_view table_text, ChemicalSymbol symbol, double energy_ev,
                                         double& f1, double& f2, std::string* problem);

}  // namespace xrd
