// The fuzz targets, one for each reader, each built from this file with its
// name defined (FUZZ_INPUT, FUZZ_FORMULA, FUZZ_F0_TABLE, FUZZ_F1F2_TABLE,
// FUZZ_STRUCTURE_FILE, FUZZ_DEBYE_WALLER_TABLE); README.md says what the input bytes of each are.
// Texts go through the text-mode rules first, as the program's reading does.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "composite/composite_structure.hpp"
#include "element/anomalous_factors.hpp"
#include "element/element_sites.hpp"
#include "element/form_factor.hpp"
#include "runtime/data_files_scope.hpp"
#include "runtime/executable_location.hpp"
#include "runtime/number_format.hpp"
#include "runtime/text_mode.hpp"
#include "structure/structure_header.hpp"
#include "thermal/debye_waller_table.hpp"
#include "xrdcalc/calculator.hpp"

namespace {

[[maybe_unused]] std::string TextFrom(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  xrd::ApplyTextModeReading(text);
  return text;
}

[[maybe_unused]] xrd::ChemicalSymbol SymbolFrom(const std::uint8_t* data) {
  return {static_cast<char>(data[0]), static_cast<char>(data[1])};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
#if defined(FUZZ_INPUT)  // input.dat, and the printing of what it holds
  try {
    const xrd::RunInput run = xrd::ParseRunInput(TextFrom(data, size));
    for (double value : {run.a, run.b, run.c, run.lambda_angstrom, run.h, run.k, run.l, run.theta_degrees, run.scale}) {
      xrd::FormatG(value) + xrd::FormatF(value);
    }
  } catch (const xrd::Error&) {
  }
#elif defined(FUZZ_FORMULA)  // byte 0: wavelength, l, angle and lattice; then the formula
  if (size < 1 || size > 4096) return 0;
  const double wavelengths[4] = {1.5405929, 0.70931715, 1.0, 3.0};
  const double lattice = (data[0] & 0x40) ? 5.65 : 0.0;
  static const xrd::DataFiles files(
      xrd::DataDirectoryBeside(xrd::ExecutableDirectory(xrd::CluesOfThisProcess(nullptr))));
  const xrd::DataFilesScope scope(files);
  xrd::TCompositeStructure composite(lattice, lattice, lattice, 0, 0, 0, wavelengths[data[0] & 3], 1, 1,
                                     (data[0] >> 2) & 7, (data[0] & 0x20) ? 30.0 : 0.0,
                                     std::string(reinterpret_cast<const char*>(data + 1), size - 1), 1.0);
  try {
    composite.ComputeStructureFactors();
    composite.ComputeOpticalConstants();
    composite.ComputeStructureScalar();
  } catch (const xrd::Error&) {
  }
#elif defined(FUZZ_F0_TABLE)  // bytes 0-1: the symbol (0 second: one letter); byte 2: s; then the table
  if (size < 3) return 0;
  const std::string text = TextFrom(data + 3, size - 3);
  std::string problem;
  const auto coefficients = xrd::ReadFormFactorRecord(text, xrd::ScanRecordHeaders(text), SymbolFrom(data), &problem);
  if (coefficients) xrd::EvaluateFormFactor(*coefficients, data[2] / 64.0);
#elif defined(FUZZ_F1F2_TABLE)  // bytes 0-1: the symbol; 2-9: the energy's bits (NaN, infinities); then the table
  if (size < 10) return 0;
  double energy_ev = 0.0;
  std::memcpy(&energy_ev, data + 2, sizeof energy_ev);
  const std::string text = TextFrom(data + 10, size - 10);
  double f1 = 0.0;
  double f2 = 0.0;
  std::string problem;
  const auto record = xrd::ReadAnomalousRecord(text, xrd::ScanRecordHeaders(text), SymbolFrom(data), &problem);
  if (record && record->present) xrd::InterpolateAnomalous(*record, energy_ev, f1, f2, &problem);
#elif defined(FUZZ_STRUCTURE_FILE)  // bytes 0-1: an element's symbol; then the structure file
  if (size < 2) return 0;
  const std::string text = TextFrom(data + 2, size - 2);
  std::string problem;
  xrd::ReadStructureHeader(text, &problem);
  xrd::ReadElementSites(text, SymbolFrom(data), &problem);
#elif defined(FUZZ_DEBYE_WALLER_TABLE)  // bytes 0-7: the temperature's bits (NaN, infinities); then the table
  if (size < 8) return 0;
  double temperature_k = 0.0;
  std::memcpy(&temperature_k, data, sizeof temperature_k);
  std::string problem;
  const auto table = xrd::ReadDebyeWallerTable(TextFrom(data + 8, size - 8), &problem);
  if (table) {
    for (const xrd::DebyeWallerRow& row : table->rows) {
      xrd::BAt(*table, row, temperature_k);
      table->HighestTemperature(row.structure);
    }
  }
#endif
  return 0;
}
