// The thermal vibration of an element in a structure, from a given B or
// from the Debye-Waller table at a temperature.
#include "thermal/thermal_vibration.hpp"

#include <cmath>

#include "runtime/character_class.hpp"
#include "runtime/number_format.hpp"
#include "runtime/printable.hpp"
#include "thermal/debye_waller_table.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

bool IsFiniteFromZero(double value) { return value >= 0.0 && std::isfinite(value); }

bool IsSymbol(std::string_view text) {
  return (text.size() == 1 && IsUpperLetter(text[0])) ||
         (text.size() == 2 && IsUpperLetter(text[0]) && IsLowerLetter(text[1]));
}

std::string Kelvin(double temperature_k) { return FormatG(temperature_k) + " K"; }

double TableB(const DebyeWallerTable& table, const DebyeWallerRow& row, double temperature_k) {
  const std::optional<double> b = BAt(table, row, temperature_k);
  if (!b) {
    throw Error("the Debye-Waller table gives the B of " + row.element + " in " + row.structure + " up to " +
                Kelvin(table.temperatures_k[row.b.size() - 1]) + ", not at " + Kelvin(temperature_k));
  }
  return *b;
}

}  // namespace

std::string ThermalVibrationProblem(const ThermalVibration& vibration) {
  if (vibration.temperature_k && !IsFiniteFromZero(*vibration.temperature_k)) {
    return "the temperature is " + FormatG(*vibration.temperature_k) +
           "; it must be a finite number of kelvin from 0 on";
  }
  if (!vibration.b_factors) return {};
  for (const auto& [element, b] : *vibration.b_factors) {
    if (!IsSymbol(element)) return "a B factor is given for " + Quote(element) + ", which is not an element symbol";
    if (!IsFiniteFromZero(b)) {
      return "the B factor of " + element + " is " + FormatG(b) +
             "; it must be a finite number of square angstroms from 0 on";
    }
  }
  return {};
}

ThermalDisplacement DisplacementOf(const DataFiles& files, ThermalVibration& vibration,
                                   std::string_view structure, std::string_view element) {
  if (vibration.b_factors && !vibration.b_factors->empty()) {
    const auto given = vibration.b_factors->find(std::string(element));
    if (given != vibration.b_factors->end()) return {given->second, given->second};
  }
  auto who = [&] { return std::string(element) + " in " + std::string(structure); };
  if (!vibration.temperature_k) {
    throw Error("B factors are given, but none for " + who() +
                "; give every element's B, or a temperature to take the others from the Debye-Waller table");
  }
  const double t = *vibration.temperature_k;
  if (!vibration.table) vibration.table = &DebyeWallerTableOf(files);
  const DebyeWallerTable& table = *vibration.table;
  if (const DebyeWallerRow* row = table.Find(structure, element, DisplacementAxis::Isotropic)) {
    const double b = TableB(table, *row, t);
    return {b, b};
  }
  const DebyeWallerRow* across = table.Find(structure, element, DisplacementAxis::AcrossC);
  const DebyeWallerRow* along = table.Find(structure, element, DisplacementAxis::AlongC);
  if (!across || !along) {
    throw Error("the Debye-Waller table " + Printable(table.path) + " has no B for " +
                who() + "; at a temperature every element needs one (the library and the Python module also take " +
                "B factors given per element)");
  }
  return {TableB(table, *across, t), TableB(table, *along, t)};
}

}  // namespace xrd
