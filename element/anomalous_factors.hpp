// The anomalous scattering factors f1 and f2 of an element at a photon
// energy, interpolated linearly in energy between the rows of its f1f2.dat
// record that enclose it.
#pragma once

#include <string>

#include "element/anomalous_record.hpp"
#include "runtime/data_files.hpp"

namespace xrd {

// Photon energy in eV of the wavelength `lambda_angstrom`: hc / lambda.
double PhotonEnergy(double lambda_angstrom);

enum class AnomalousOutcome {
  Interpolated,  // energy inside the table
  OutsideTable,  // extrapolated (below the first row or at/above the last)
};

// f1 and f2 at `energy_ev` from the rows of a present record: the line
// through the last row at or below the energy and the first row above it
// (the first two rows below the table, the last two at or above its end;
// two rows at one energy, an edge, give the later one's values). `problem`
// tells where the energy lies when it is outside the table.
AnomalousOutcome InterpolateAnomalous(const AnomalousRecord& record, double energy_ev, double& f1, double& f2,
                                      std::string* problem);

// f1 and f2 of `symbol` at `energy_ev` from the f1f2.dat of `files` (its
// record read once per loaded table). Writes both and returns true (with a
// warning when the energy lies outside the table), or, for an element the
// table lacks, warns and writes neither. Throws Error when the table or the
// record cannot be used.
bool AnomalousFactorsAt(const DataFiles& files, ChemicalSymbol symbol, double energy_ev, double& f1, double& f2);

}  // namespace xrd
