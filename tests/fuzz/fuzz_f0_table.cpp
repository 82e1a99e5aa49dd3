// Fuzz target: the f0_xop.dat record reader on arbitrary table text. The
// first two bytes are the symbol (a second byte of 0 makes it one letter),
// the third picks s, the rest is the table.
#include <cstddef>
#include <cstdint>
#include <string>

#include "element/form_factor.hpp"
#include "runtime/text_mode.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const xrd::ChemicalSymbol symbol{static_cast<char>(data[0]), static_cast<char>(data[1])};
  const double s = data[2] / 64.0;
  std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
  xrd::ApplyTextModeReading(text);
  std::string problem;
  const auto coefficients = xrd::ReadFormFactorRecord(text, xrd::ScanRecordHeaders(text), symbol, &problem);
  if (coefficients) xrd::EvaluateFormFactor(*coefficients, s);
  return 0;
}
