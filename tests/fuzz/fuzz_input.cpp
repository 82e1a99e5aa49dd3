// Fuzz target: the input.dat reader on arbitrary bytes (after the text-mode
// rules), and the printing of whatever it reads.
#include <cstddef>
#include <cstdint>
#include <string>

#include "xrdcalc/error.hpp"
#include "runtime/number_format.hpp"
#include "runtime/text_mode.hpp"
#include "xrdcalc/calculator.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  xrd::ApplyTextModeReading(text);
  try {
    const xrd::RunInput run = xrd::ParseRunInput(text);
    std::string printed;
    for (double value : {run.a, run.b, run.c, run.value4, run.value5, run.value6, run.lambda_angstrom, run.h, run.k,
                         run.l, run.theta_degrees}) {
      printed += xrd::FormatG(value) + xrd::FormatF(value);
    }
    printed += xrd::FormatG(run.scale);
  } catch (const xrd::Error&) {
  }
  return 0;
}
