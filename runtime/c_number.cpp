// strtod in a "C" locale object of its own (strtod_l), made once.
#include "runtime/c_number.hpp"

#include <locale.h>
#include <stdlib.h>

#include <string>

namespace xrd {

namespace {

locale_t CLocale() {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c_locale;
}

}  // namespace

std::size_t ConvertCNumber(const char* begin, const char* end, double& value) {
  const std::string number(begin, end);  // strtod reads up to a NUL
  char* stop = nullptr;
  value = strtod_l(number.c_str(), &stop, CLocale());
  return static_cast<std::size_t>(stop - number.c_str());
}

}  // namespace xrd
