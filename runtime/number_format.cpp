// "%g"/"%f" printing through std::to_chars, which formats as printf does in
// the "C" locale whatever the process locale is, with signed INF/NAN
// spellings.
#include "runtime/number_format.hpp"

#include <charconv>
#include <cmath>

namespace xrd {

namespace {

bool FormatSpecial(double value, std::string& text) {
  if (std::isinf(value)) {
    text = value < 0 ? "-INF" : "+INF";
    return true;
  }
  if (std::isnan(value)) {
    text = std::signbit(value) ? "-NAN" : "+NAN";
    return true;
  }
  return false;
}

std::string FormatWith(std::chars_format format, double value) {
  std::string text;
  if (FormatSpecial(value, text)) return text;
  char buffer[512];  // "%f" of the largest double needs 317 characters
  const std::to_chars_result result = std::to_chars(buffer, buffer + sizeof buffer, value, format, 6);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string FormatG(double value) { return FormatWith(std::chars_format::general, value); }
std::string FormatF(double value) { return FormatWith(std::chars_format::fixed, value); }

}  // namespace xrd
