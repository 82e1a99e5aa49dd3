// Fuzz target: the input.dat reader on arbitrary bytes (after the text-mode
// rules), and the printing of whatever it reads.
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/error.hpp"
#include "driver/number_format.hpp"
#include "driver/run.hpp"
#include "driver/text_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  xrd::ApplyTextModeReading(text);
  try {
    const xrd::RunDescription run = xrd::ParseRunDescription(text);
    std::string printed;
    for (double value : run.values) printed += xrd::FormatG(value) + xrd::FormatF(value);
    printed += xrd::FormatG(run.scale);
  } catch (const xrd::Error&) {
  }
  return 0;
}
