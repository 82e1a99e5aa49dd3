// What a run asks of the atoms' thermal vibration: a temperature, at which
// the Debye-Waller table gives each element's B in its structure, and B
// values given per element, which take precedence over the table.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/data_files.hpp"
#include "thermal/debye_waller_factor.hpp"
#include "thermal/debye_waller_table.hpp"

namespace xrd {

struct ThermalVibration {
  std::optional<double> temperature_k;
  const std::map<std::string, double>* b_factors = nullptr;  // symbol -> B in square angstroms; may be null
  // The Debye-Waller table, looked up once a run when first needed.
  const DebyeWallerTable* table = nullptr;
  // The given B factors serve other runs too (the materials of a layer
  // stack): they may name elements this run lacks.
  bool b_factors_shared = false;

  bool Active() const { return temperature_k || (b_factors && !b_factors->empty()); }
};

// What makes `vibration` unusable before any data is read: a temperature
// that is not a finite number from 0 on, a key that is not an element
// symbol, a B that is not a finite number from 0 on. Empty when usable.
std::string ThermalVibrationProblem(const ThermalVibration& vibration);

// The vibration of `element` in `structure`: its given B, else the table's
// (of `files`, kept in `vibration`) at the temperature. Throws Error naming
// the element and the structure where there is neither.
ThermalDisplacement DisplacementOf(const DataFiles& files, ThermalVibration& vibration,
                                   std::string_view structure, std::string_view element);

}  // namespace xrd
