// The atomic form factor f0(s) from the five-Gaussian Waasmaier-Kirfel
// parameters of f0_xop.dat, s = sin(theta)/lambda in 1/angstrom.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "element/chemical_symbol.hpp"
#include "element/record_headers.hpp"
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

// Reads the coefficients of `symbol` from the text of an f0_xop.dat table
// whose headers are `headers`. Gives nothing when the record is missing or
// does not follow the layout, or when the table has no Cf end record after
// it (cut short); `problem` then says why.
std::optional<GaussianCoefficients> ReadFormFactorRecord(std::string_view table_text, const RecordHeaders& headers,
                                                         ChemicalSymbol symbol, std::string* problem);

// The coefficients of `symbol` in the f0_xop.dat of `files` (its record read
// once per loaded table). Throws Error when the table or the record cannot
// be used.
const GaussianCoefficients& FormFactorCoefficients(const DataFiles& files, ChemicalSymbol symbol);

}  // namespace xrd
