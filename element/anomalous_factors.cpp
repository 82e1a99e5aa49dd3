// f1/f2 interpolation. A record is read whole once; the rows that enclose
// the run's energy are then found by a binary search where the energies
// ascend, by a linear one where they do not.
#include "element/anomalous_factors.hpp"

#include <algorithm>

#include "runtime/diagnostics.hpp"
#include "runtime/printable.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

// hc in eV * angstrom.
constexpr double kEnergyWavelengthProduct = 12398.100046;

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

}  // namespace

double PhotonEnergy(double lambda_angstrom) { return kEnergyWavelengthProduct / lambda_angstrom; }

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

bool AnomalousFactorsAt(const DataFiles& files, ChemicalSymbol symbol, double energy_ev, double& f1, double& f2) {
  const DataFile& table = files.Get("f1f2.dat");
  auto element = [&] { return Printable(table.path()) + ": element " + symbol.ToString() + ": "; };
  const char key[] = {'f', '1', 'f', '2', ' ', symbol.first, symbol.second};
  const AnomalousRecord& record = table.Memo<AnomalousRecord>(std::string_view(key, sizeof key), [&] {
    std::string problem;
    std::string_view text;
    const RecordHeaders headers = HeadersThrough(table, symbol, text);
    std::optional<AnomalousRecord> read = ReadAnomalousRecord(text, headers, symbol, &problem);
    if (!read) throw Error(element() + problem);
    // A record kept for many evaluations is converted whole once.
    if (files.loading() == DataFiles::Loading::Copy) ConvertAll(*read);
    return std::move(*read);
  });
  if (!record.present) {
    Warn(element() + std::string(kNoRecord) + "; no anomalous correction, f1 = f0(0), f2 = 0");
    return false;
  }
  std::string problem;
  if (InterpolateAnomalous(record, energy_ev, f1, f2, &problem) == AnomalousOutcome::OutsideTable) {
    Warn(element() + problem);
  }
  return true;
}

}  // namespace xrd
