// Numbers under a locale with a decimal comma.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "runtime/number_format.hpp"
#include "runtime/text_scanner.hpp"
#include "tests/unit/test_data.hpp"
#include "xrdcalc/calculator.hpp"

namespace xrd {
namespace {

// Numbers read and print as in the "C" locale whatever locale the process
// has set: a caller with a decimal comma (a Python program that called
// locale.setlocale) must not change what input.dat or a table says, nor what
// output.dat holds.
TEST(Locale, NumbersReadAndPrintAsInTheCLocaleWhateverTheProcessHasSet) {
  const testing::ScratchDirectory scratch("xrdcalc-locale", true);
  // A lattice constant in hexadecimal, which the C library's conversion reads.
  scratch.Write("SiHex.stf", "silicon\n1,227\n0x1.5b9cp+2,0.2785\nSi\n1\n0, 0, 0\n");
  const RunInput run{.lambda_angstrom = 1.0, .h = 0, .k = 0, .l = 4, .formula = "SiHex"};
  const Result in_c = Calculator(scratch.path()).compute(run);
  EXPECT_EQ(in_c.a, std::strtod("0x1.5b9cp+2", nullptr));
  // A German locale (decimal comma), compiled into the scratch directory
  // from Debian's locales package.
  ASSERT_EQ(std::system(("localedef -i de_DE -f UTF-8 '" + (scratch / "de_DE.UTF-8") + "'").c_str()), 0)
      << "install Debian's locales";
  setenv("LOCPATH", scratch.path().c_str(), 1);
  ASSERT_TRUE(std::setlocale(LC_ALL, "de_DE.UTF-8"));
  ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
  double v[4] = {};
  TextScanner scanner("0x1.8p1 1e400 5.43102 -0x1p-2");
  EXPECT_EQ(scanner.Scan("%lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3]), 4);
  EXPECT_EQ((std::array{v[0], v[1], v[2], v[3]}), (std::array{3.0, HUGE_VAL, 5.43102, -0.25}));
  EXPECT_EQ(FormatG(5.43102) + " " + FormatG(-1.51467e-05) + " " + FormatF(0.2783), "5.43102 -1.51467e-05 0.278300");
  EXPECT_EQ(ParseRunInput("0x1.6p2 5.5 5.5\n0 0 0\n1.5\n0 0 4\n0\nSi\n1\n").a, 5.5);
  const Result in_german = Calculator(scratch.path()).compute(run);
  EXPECT_EQ(in_german.values(), in_c.values());
  EXPECT_EQ(FormatOutput(in_german), FormatOutput(in_c));
  std::setlocale(LC_ALL, "C");
  unsetenv("LOCPATH");
}

}  // namespace
}  // namespace xrd
