// Fuzz target: the f1f2.dat record reader and interpolation on arbitrary
// table text. Bytes 0-1 are the symbol, bytes 2-9 the photon energy as the
// bits of a double (NaNs and infinities included), the rest the table.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "element/anomalous_factors.hpp"
#include "runtime/text_mode.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return 0;
  const xrd::ChemicalSymbol symbol{static_cast<char>(data[0]), static_cast<char>(data[1])};
  double energy_ev = 0.0;
  std::memcpy(&energy_ev, data + 2, sizeof energy_ev);
  std::string text(reinterpret_cast<const char*>(data + 10), size - 10);
  xrd::ApplyTextModeReading(text);
  double f1 = 0.0;
  double f2 = 0.0;
  std::string problem;
  const auto record = xrd::ReadAnomalousRecord(text, xrd::ScanRecordHeaders(text), symbol, &problem);
  if (record && record->present) xrd::InterpolateAnomalous(*record, energy_ev, f1, f2, &problem);
  return 0;
}
