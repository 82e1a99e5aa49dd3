// Number printing for output.dat and messages: "%g" and "%f" as the C
// library gives them in the "C" locale, except that infinities print
// "+INF"/"-INF" and NaNs "+NAN"/"-NAN", the sign taken from the sign bit.
#pragma once

#include <string>

namespace xrd {

std::string FormatG(double value);
std::string FormatF(double value);

}  // namespace xrd
