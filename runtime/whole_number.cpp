// Whole-number texts, read digit by digit.
#include "runtime/whole_number.hpp"

#include <cstdint>
#include <limits>

#include "runtime/character_class.hpp"
#include "runtime/printable.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

int StrToInt(const std::string& digits) {
  if (digits.empty()) throw Error("the weight is empty");
  std::int64_t value = 0;
  for (char c : digits) {
    if (!IsDigit(c)) throw Error(Quote(digits) + " is not a whole number");
    value = value * 10 + (c - '0');
    if (value > std::numeric_limits<std::int32_t>::max()) throw Error(Quote(digits) + " is out of range");
  }
  return static_cast<int>(value);
}

}  // namespace xrd
