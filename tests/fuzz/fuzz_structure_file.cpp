// Fuzz target: the structure-file header reader and the element-block
// reader on arbitrary text. Bytes 0-1 are the element symbol, the rest the
// file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "element/element_sites.hpp"
#include "runtime/text_mode.hpp"
#include "structure/structure_header.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const xrd::ChemicalSymbol symbol{static_cast<char>(data[0]), static_cast<char>(data[1])};
  std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  xrd::ApplyTextModeReading(text);
  std::string problem;
  xrd::ReadStructureHeader(text, &problem);
  problem.clear();
  xrd::ReadElementSites(text, symbol, &problem);
  return 0;
}
