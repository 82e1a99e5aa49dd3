// Numbers read and print as in the "C" locale whatever locale the process
// has set: a caller with a decimal comma (a Python program that called
// locale.setlocale) must not change what input.dat or a table says, nor what
// output.dat holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "runtime/number_format.hpp"
#include "runtime/text_scanner.hpp"
#include "tests/unit/test_data.hpp"
#include "xrdcalc/calculator.hpp"

namespace xrd {
namespace {

namespace fs = std::filesystem;

// Sets a German locale (decimal comma) for the whole process while it
// lives, compiled into a scratch directory (Debian's locales package
// holds its source).
class GermanLocale {
 public:
  GermanLocale() : directory_(fs::temp_directory_path() / ("xrdcalc-locale-" + std::to_string(getpid()))) {
    fs::create_directories(directory_);
    const std::string compile = "localedef -i de_DE -f UTF-8 '" + (directory_ / "de_DE.UTF-8").string() + "' 2>&1";
    if (std::system(compile.c_str()) != 0) ADD_FAILURE() << "localedef failed: install Debian's locales";
    setenv("LOCPATH", directory_.c_str(), 1);
    set_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
  }
  ~GermanLocale() {
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    fs::remove_all(directory_);
  }
  bool set() const { return set_ && std::string(std::localeconv()->decimal_point) == ","; }

 private:
  fs::path directory_;
  bool set_ = false;
};

TEST(Locale, NumbersReadAndPrintAsInTheCLocaleWhateverTheProcessHasSet) {
  // A structure whose lattice constant is written in hexadecimal, which the
  // C library's conversion reads.
  const fs::path base = fs::temp_directory_path() / ("xrdcalc-locale-base-" + std::to_string(getpid()));
  fs::remove_all(base);
  fs::copy(testing::TestDataDirectory(), base);
  std::ofstream(base / "SiHex.stf") << "silicon, lattice in hexadecimal\n1,227\n0x1.5b9cp+2,0.2785\nSi\n1\n0, 0, 0\n";
  const RunInput run{.lambda_angstrom = 1.0, .h = 0, .k = 0, .l = 4, .formula = "SiHex"};
  const Result in_c_locale = Calculator(base.string()).compute(run);
  EXPECT_EQ(in_c_locale.a, std::strtod("0x1.5b9cp+2", nullptr));
  {
    const GermanLocale german;
    ASSERT_TRUE(german.set());
    double values[4] = {};
    TextScanner scanner("0x1.8p1 1e400 5.43102 -0x1p-2");
    ASSERT_EQ(scanner.Scan("%lf %lf %lf %lf", &values[0], &values[1], &values[2], &values[3]), 4);
    EXPECT_EQ(values[0], 3.0);
    EXPECT_EQ(values[1], HUGE_VAL);
    EXPECT_EQ(values[2], 5.43102);
    EXPECT_EQ(values[3], -0.25);
    EXPECT_EQ(FormatG(5.43102), "5.43102");
    EXPECT_EQ(FormatG(-1.51467e-05), "-1.51467e-05");
    EXPECT_EQ(FormatF(0.2783), "0.278300");
    EXPECT_EQ(ParseRunInput("0x1.6p2 5.5 5.5\n0 0 0\n1.5\n0 0 4\n0\nSi\n1\n").a, 5.5);
    const Result in_german = Calculator(base.string()).compute(run);
    EXPECT_EQ(in_german.values(), in_c_locale.values());
    EXPECT_EQ(FormatOutput(in_german), FormatOutput(in_c_locale));
  }
  fs::remove_all(base);
}

}  // namespace
}  // namespace xrd
