// The anomalous scattering factors f1 and f2, interpolated linearly in
// photon energy from the per-element rows (energy in eV, f1, f2) of f1f2.dat.
#pragma once

#include <string>
#include <string_view>

#include "driver/data_files.hpp"

namespace xrd {

// Photon energy in eV of the wavelength `lambda_angstrom`.
double PhotonEnergy(double lambda_angstrom);

enum class AnomalousOutcome {
  Interpolated,   // energy inside the table
  OutsideTable,   // extrapolated (below the first row or at/above the last)
  Unusable,       // element missing or record not in the layout: nothing written
};

// Interpolates f1 and f2 at `energy_ev` from the text of an f1f2.dat table.
// Writes f1 and f2 unless the outcome is Unusable; `problem` says what is
// wrong for every outcome but Interpolated.
AnomalousOutcome AnomalousFromTable(std::string_view table_text, ChemicalSymbol symbol, double energy_ev, double& f1,
                                    double& f2, std::string* problem);

}  // namespace xrd
