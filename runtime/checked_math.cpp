// Checked sqrt, asin, sin, cos and exp with the program's error reports.
#include "runtime/checked_math.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "runtime/diagnostics.hpp"

namespace xrd::math {

namespace {

constexpr double kQuietNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTotalLossBound = 9007199254740992.0;  // 2^53

void ReportError(const char* function, const char* kind) {
  std::string message = function;
  message += ": ";
  message += kind;
  message += " error";
  ReportMathError(message);
}

constexpr std::uint32_t UpperWord(double x) {
  return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(x) >> 32);
}

constexpr std::uint32_t kSignBit = 0x80000000u;
constexpr std::uint32_t kOverflowWord = UpperWord(709.7822265625);
constexpr std::uint32_t kUnderflowWord = UpperWord(708.39599609375);
static_assert(kOverflowWord == 0x40862E42u);

}  // namespace

double sqrt(double x) {
  if (x < 0.0) {
    ReportError("sqrt", "DOMAIN");
    return kQuietNaN;
  }
  return std::sqrt(x);
}

double asin(double x) {
  if (std::isnan(x) || std::fabs(x) > 1.0) {
    ReportError("asin", "DOMAIN");
    return kQuietNaN;
  }
  return std::asin(x);
}

double sin(double x) {
  if (!(std::fabs(x) < kTotalLossBound)) return kQuietNaN;
  return std::sin(x);
}

double cos(double x) {
  if (!(std::fabs(x) < kTotalLossBound)) return kQuietNaN;
  return std::cos(x);
}

double exp(double x) {
  const std::uint32_t word = UpperWord(x);
  if ((word & kSignBit) == 0) {
    if (word >= kOverflowWord) {  // also +inf and NaNs without the sign bit
      ReportError("exp", "OVERFLOW");
      return std::numeric_limits<double>::infinity();
    }
  } else if ((word & ~kSignBit) >= kUnderflowWord) {  // also -inf and signed NaNs
    return 0.0;
  }
  return std::exp(x);
}

}  // namespace xrd::math
