// An element's record of f1f2.dat: its rows (photon energy in eV, f1, f2)
// read whole, the first one from a line piece of at most 79 characters,
// the others as "%lf %lf %lf" up to the next record header.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "element/chemical_symbol.hpp"
#include "element/record_headers.hpp"

namespace xrd {

struct AnomalousRow {
  double energy_ev = 0.0;
  double f1 = 0.0;
  double f2 = 0.0;
  // Where f1 and f2 are not converted yet: the text of the row from f1 on
  // and the end of the table's text (the table outlives the record).
  const char* unconverted = nullptr;
  const char* text_end = nullptr;
};

// An element's record, or none when the table ends at its Cf end record
// without the element.
struct AnomalousRecord {
  bool present = false;
  std::vector<AnomalousRow> rows;  // at least one when present
  bool ascending = false;          // energies never decrease
};

// Reads the record of `symbol` from the text of an f1f2.dat table whose
// headers are `headers`: the first data row is the first line piece after
// the header that begins with neither '#' nor a line end; later rows are
// read as "%lf %lf %lf" up to the next header or the end of the text. Gives
// nothing when the record cannot be used (no data row, a row that is not
// three numbers, no Cf end record after it: the table is cut short);
// `problem` then says why.
std::optional<AnomalousRecord> ReadAnomalousRecord(std::string_view table_text, const RecordHeaders& headers,
                                                   ChemicalSymbol symbol, std::string* problem);

// The row with its f1 and f2 converted where they were left as text. Should
// the text no longer hold them (a mapped table rewritten under the run,
// which the run notices and answers by starting again), they are NaN.
AnomalousRow Converted(AnomalousRow row);

// Converts the f1 and f2 of every row (a record kept for many evaluations).
void ConvertAll(AnomalousRecord& record);

// A photon energy as messages show it: "10367.000000 eV".
std::string EnergyText(double energy_ev);

}  // namespace xrd
