// The elementary functions' values and error reports outside their domains,
// and reports made outside a run.
#include "runtime/checked_math.hpp"
#include "runtime/diagnostics.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <vector>

namespace xrd {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Each function's value (bit for bit; every NaN alike) and whether it
// writes its error report on standard error, at and beyond the edges of its
// domain; and a report made outside a run goes straight to standard error.
TEST(CheckedMath, ValuesAndReportsFollowTheErrorTable) {
  const double below_overflow = std::nextafter(709.7822265625, 0.0);
  const struct {
    const char* name;
    double (*function)(double);
    const char* error;
    std::vector<std::tuple<double, double, bool>> cases;  // argument, value, reported
  } functions[] = {
      {"sqrt", math::sqrt, "DOMAIN", {{-1.0, kNaN, true}, {-kInf, kNaN, true}, {-0.0, -0.0, false}, {4.0, 2.0, false}}},
      {"asin", math::asin, "DOMAIN",
       {{1.0000001, kNaN, true}, {-2.0, kNaN, true}, {kNaN, kNaN, true}, {1.0, 1.5707963267948966, false},
        {-1.0, -1.5707963267948966, false}}},
      {"sin", math::sin, "",  // from 2^53 on a NaN, silently
       {{9007199254740992.0, kNaN, false}, {9007199254740990.0, std::sin(9007199254740990.0), false}}},
      {"cos", math::cos, "", {{-9007199254740992.0, kNaN, false}}},
      {"exp", math::exp, "OVERFLOW",
       {{710.0, kInf, true}, {709.7822265625, kInf, true}, {below_overflow, std::exp(below_overflow), false},
        {kInf, kInf, true}, {kNaN, kInf, true}, {-800.0, 0.0, false}, {-708.39599609375, 0.0, false},
        {-kInf, 0.0, false}, {-708.0, std::exp(-708.0), false}, {1.0, std::exp(1.0), false}}},
  };
  const auto bits = [](double x) { return std::isnan(x) ? ~std::uint64_t{0} : std::bit_cast<std::uint64_t>(x); };
  for (const auto& f : functions) {
    for (const auto& [argument, expected, reported] : f.cases) {
      ::testing::internal::CaptureStderr();
      const double value = f.function(argument);
      EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                reported ? "\r\n" + std::string(f.name) + ": " + f.error + " error\r\n" : "")
          << f.name << " of " << argument;
      EXPECT_EQ(bits(value), bits(expected)) << f.name << " of " << argument << ": " << value;
    }
  }
  ::testing::internal::CaptureStderr();
  Warn("a table is odd");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "warning: a table is odd\n");
}

}  // namespace
}  // namespace xrd
