// The program and the library compute through the same path: the
// program's output.dat is byte for byte the library's FormatOutput, and
// where the program stops the library throws the same message.
#include <gtest/gtest.h>

#include "runtime/text_mode.hpp"
#include "tests/e2e/program_runner.hpp"
#include "xrdcalc/calculator.hpp"

namespace xrd::testing {
namespace {

// One structure, a mix, a given lattice and angle, and three stops: the
// program is a client of the library (the physics is checked elsewhere
// against independent values).
TEST(LibraryAgreement, ResultsAndStops) {
  ProgramRunner runner(SHIPPED_BASE, /*link_base=*/true);
  const Calculator calculator(SHIPPED_BASE);
  std::vector<std::string> inputs = {"5.5 5.6 5.7\n1 2 3\n1.1\n2 0 4\n20\nGa7In3As\n2\n"};
  for (const char* formula : {"GaAs", "Ga7In3As", "GaAss", "Ga0.7In0.3As", "Ga2147483000In1000As"}) {
    inputs.push_back("0 0 0\n0 0 0\n1.5405929\n1 1 3\n0\n" + std::string(formula) + "\n1\n");
  }
  for (const std::string& input : inputs) {
    SCOPED_TRACE(input);
    try {
      const Result result = calculator.compute(ParseRunInput(input));
      EXPECT_EQ(runner.Expect(input, 0, "").output, ToTextModeBytes(FormatOutput(result)));
    } catch (const Error& error) {  // the same message, but for where each found its data directory
      std::string message = error.what();
      const std::string library_base = calculator.data_directory();
      for (std::size_t at; (at = message.find(library_base)) != std::string::npos;) {
        message.replace(at, library_base.size(), "<base>");
      }
      runner.Expect(input, 1, "xrdcalc: " + message + "\n");
    }
  }
}

}  // namespace
}  // namespace xrd::testing
