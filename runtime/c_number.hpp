// The C library's conversion of a number text (strtod), always as the "C"
// locale reads it: a caller that has set a locale with a decimal comma must
// not change what a table or input.dat says.
#pragma once

#include <cstddef>

namespace xrd {

// Converts the number at the start of [begin, end) as strtod does in the
// "C" locale: decimal and hexadecimal numbers, infinities and NaNs, values
// beyond the range of double to an infinity or toward 0. Gives how many
// characters the number took (0: no number starts there, and `value` is 0).
std::size_t ConvertCNumber(const char* begin, const char* end, double& value);

}  // namespace xrd
