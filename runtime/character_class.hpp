// Character classes as the readers use them: ASCII only, so that a byte
// from 128 on is never a letter, a digit or white space, whatever the
// process locale says.
#pragma once

#include <string_view>

namespace xrd {

constexpr bool IsDigit(int c) { return c >= '0' && c <= '9'; }
constexpr bool IsUpperLetter(int c) { return c >= 'A' && c <= 'Z'; }
constexpr bool IsLowerLetter(int c) { return c >= 'a' && c <= 'z'; }

// White space as the C library's scanning knows it: blank, tab, line feed,
// vertical tab, form feed, carriage return.
constexpr bool IsScanSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline constexpr std::string_view kScanSpaces = " \t\n\v\f\r";

}  // namespace xrd
