// "%g"/"%f" printing with the signed INF/NAN spellings of output.dat.
#include "runtime/number_format.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace xrd {
namespace {

TEST(NumberFormat, PrintsLikeTheLibraryWithSignedSpecialValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double value;
    const char* g;
    const char* f;
  } cases[] = {
      {5.5, "5.5", "5.500000"},
      {0.0, "0", "0.000000"},
      {-0.0, "-0", "-0.000000"},
      {1.5e-5, "1.5e-05", "0.000015"},
      {2.5e6, "2.5e+06", "2500000.000000"},
      {123456.0, "123456", "123456.000000"},
      {1234567.0, "1.23457e+06", "1234567.000000"},
      {0.0001, "0.0001", "0.000100"},
      {-7.18e-6, "-7.18e-06", "-0.000007"},
      {inf, "+INF", "+INF"},
      {-inf, "-INF", "-INF"},
      {nan, "+NAN", "+NAN"},
      {std::copysign(nan, -1.0), "-NAN", "-NAN"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatG(c.value), c.g) << c.value;
    EXPECT_EQ(FormatF(c.value), c.f) << c.value;
  }
  EXPECT_EQ(FormatF(1e308).size(), 316u);
}

}  // namespace
}  // namespace xrd
