// The program and the library compute through the same path: the
// program's output.dat is byte for byte the library's FormatOutput, and
// where the program stops the library throws the same message.
#include <gtest/gtest.h>

#include "runtime/text_mode.hpp"
#include "tests/e2e/program_runner.hpp"
#include "xrdcalc/calculator.hpp"

namespace xrd::testing {
namespace {

std::string Input(const std::string& hkl, const std::string& lambda, const std::string& formula) {
  return "0 0 0\n0 0 0\n" + lambda + "\n" + hkl + "\n0\n" + formula + "\n1\n";
}

// The program's output.dat, or its message, against the library's.
void ExpectAgreement(ProgramRunner& runner, const Calculator& calculator, const std::string& input) {
  const RunResult run = runner.Run(input);
  try {
    const Result result = calculator.compute(ParseRunInput(input));
    ASSERT_EQ(run.exit_status, 0) << input << run.error_output;
    EXPECT_EQ(*run.output, ToTextModeBytes(FormatOutput(result))) << input;
  } catch (const Error& error) {
    // The same message, but for where each found its data directory.
    std::string message = error.what();
    const std::string library_base = calculator.data_directory();
    for (std::size_t at; (at = message.find(library_base)) != std::string::npos;) {
      message.replace(at, library_base.size(), runner.base().string());
    }
    EXPECT_EQ(run.exit_status, 1) << input;
    EXPECT_EQ(run.error_output, "xrdcalc: " + message + "\n") << input;
  }
}

// One structure, a mix, a given lattice and angle, and three stops: the
// program is a client of the library (the physics is checked elsewhere
// against independent values).
TEST(LibraryAgreement, ResultsAndStops) {
  ProgramRunner runner(SHIPPED_BASE, /*link_base=*/true);
  const Calculator calculator(SHIPPED_BASE);
  for (const char* formula : {"GaAs", "Ga7In3As", "GaAss", "Ga0.7In0.3As", "Ga2147483000In1000As"}) {
    ExpectAgreement(runner, calculator, Input("1 1 3", "1.5405929", formula));
  }
  ExpectAgreement(runner, calculator, "5.5 5.6 5.7\n1 2 3\n1.1\n2 0 4\n20\nGa7In3As\n2\n");
}

}  // namespace
}  // namespace xrd::testing
