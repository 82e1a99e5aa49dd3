// The atomic form factor f0(s) from the five-Gaussian Waasmaier-Kirfel
// parameters of f0_xop.dat, s = sin(theta)/lambda in 1/angstrom.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "runtime/data_files.hpp"

namespace xrd {

struct GaussianCoefficients {
  double a[5] = {};
  double c = 0.0;
  double b[5] = {};
};

// c + a1 exp(-b1 s^2) + ... + a5 exp(-b5 s^2), summed from c upwards, each
// exponent formed as (-b * s) * s.
double EvaluateFormFactor(const GaussianCoefficients& k, double s);

// Reads the coefficients of `symbol` from the text of an f0_xop.dat table.
// Gives nothing when the record is missing or does not follow the layout,
// or when the table has no Cf end record after it (cut short); `problem`
// then says why.
std::optional<GaussianCoefficients> ReadFormFactorRecord(std::string_view table_text, ChemicalSymbol symbol,
                                                         std::string* problem);

// As above, with the table's headers already scanned.
std::optional<GaussianCoefficients> ReadFormFactorRecord(std::string_view table_text, const RecordHeaders& headers,
                                                         ChemicalSymbol symbol, std::string* problem);

// f0 of `symbol` at `s` from this thread's f0_xop.dat (its record read once
// per loaded table). Throws Error when the table or the record cannot be
// used.
double FormFactorOf(ChemicalSymbol symbol, double s);

// The coefficients FormFactorOf evaluates.
const GaussianCoefficients& FormFactorCoefficients(ChemicalSymbol symbol);

// Evaluates f0 at `s` from table text; 0 when ReadFormFactorRecord gives
// nothing.
double FormFactorFromTable(std::string_view table_text, ChemicalSymbol symbol, double s, std::string* problem);

}  // namespace xrd
