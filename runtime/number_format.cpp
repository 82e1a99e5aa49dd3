// "%g"/"%f" printing with signed INF/NAN spellings.
#include "runtime/number_format.hpp"

#include <cmath>
#include <cstdio>

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

std::string FormatWith(const char* format, double value) {
  std::string text;
  if (FormatSpecial(value, text)) return text;
  char buffer[512];  // "%f" of the largest double needs 317 characters
  int length = std::snprintf(buffer, sizeof buffer, format, value);
  return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace

std::string FormatG(double value) { return FormatWith("%g", value); }
std::string FormatF(double value) { return FormatWith("%f", value); }

}  // namespace xrd
