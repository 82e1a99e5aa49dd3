// The elementary functions' values and error reports outside their domains,
// and reports made outside a run.
#include "runtime/checked_math.hpp"
#include "runtime/diagnostics.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace xrd {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Case {
  const char* name;
  double (*function)(double);
  double argument;
  double expected;  // NaN: a NaN is expected
  const char* report;
};

TEST(CheckedMath, ValuesAndReportsFollowTheErrorTable) {
  const Case cases[] = {
      {"sqrt of a negative", math::sqrt, -1.0, kNaN, "\r\nsqrt: DOMAIN error\r\n"},
      {"sqrt of -inf", math::sqrt, -kInf, kNaN, "\r\nsqrt: DOMAIN error\r\n"},
      {"sqrt of -0", math::sqrt, -0.0, -0.0, ""},
      {"sqrt of 4", math::sqrt, 4.0, 2.0, ""},
      {"asin just above 1", math::asin, 1.0000001, kNaN, "\r\nasin: DOMAIN error\r\n"},
      {"asin below -1", math::asin, -2.0, kNaN, "\r\nasin: DOMAIN error\r\n"},
      {"asin of NaN", math::asin, kNaN, kNaN, "\r\nasin: DOMAIN error\r\n"},
      {"asin of 1", math::asin, 1.0, 1.5707963267948966, ""},
      {"asin of -1", math::asin, -1.0, -1.5707963267948966, ""},
      {"sin at 2^53", math::sin, 9007199254740992.0, kNaN, ""},
      {"sin below 2^53", math::sin, 9007199254740990.0, std::sin(9007199254740990.0), ""},
      {"cos at 2^53", math::cos, -9007199254740992.0, kNaN, ""},
      {"exp of 710", math::exp, 710.0, kInf, "\r\nexp: OVERFLOW error\r\n"},
      {"exp at the overflow bound", math::exp, 709.7822265625, kInf, "\r\nexp: OVERFLOW error\r\n"},
      {"exp just below the bound", math::exp, std::nextafter(709.7822265625, 0.0), std::exp(std::nextafter(709.7822265625, 0.0)), ""},
      {"exp of +inf", math::exp, kInf, kInf, "\r\nexp: OVERFLOW error\r\n"},
      {"exp of NaN", math::exp, kNaN, kInf, "\r\nexp: OVERFLOW error\r\n"},
      {"exp of -800", math::exp, -800.0, 0.0, ""},
      {"exp at the underflow bound", math::exp, -708.39599609375, 0.0, ""},
      {"exp of -inf", math::exp, -kInf, 0.0, ""},
      {"exp above the underflow bound", math::exp, -708.0, std::exp(-708.0), ""},
      {"exp of 1", math::exp, 1.0, std::exp(1.0), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ::testing::internal::CaptureStderr();
    const double value = c.function(c.argument);
    const std::string report = ::testing::internal::GetCapturedStderr();
    if (std::isnan(c.expected)) {
      EXPECT_TRUE(std::isnan(value)) << value;
    } else {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(c.expected)) << value;
    }
    EXPECT_EQ(report, c.report);
  }
}

TEST(Reports, OutsideARunGoStraightToStandardError) {
  ::testing::internal::CaptureStderr();
  Warn("a table is odd");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "warning: a table is odd\n");
}

}  // namespace
}  // namespace xrd
