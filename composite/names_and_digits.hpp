// One component of a chemical formula: its name (upper-case letter up to
// its first digit) and its digit text (the stoichiometric weight).
#pragma once

#include <string>

namespace xrd {

struct NamesAndDigits {
  std::string Name;
  std::string Digits;
};

}  // namespace xrd
