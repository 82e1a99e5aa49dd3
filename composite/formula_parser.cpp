// Splitting a formula with digits into components: each upper-case letter
// starts a component, its first digit starts its digit text, and a last
// component without digits is the partner joined to every other name.
#include <cstdint>
#include <limits>

#include "composite/composite_structure.hpp"
#include "xrdcalc/error.hpp"
#include "runtime/warning.hpp"

namespace xrd {

namespace {

// Character classes compared as signed 8-bit codes: bytes from 128 on are
// neither letters nor digits.
bool IsUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
constexpr signed char kLastDigitCode = '9';

}  // namespace

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

void TCompositeStructure::ParseFormula() {
  auto fail = [&](const std::string& what) { throw Error("formula " + Quote(Formula) + ": " + what); };
  int j = -1;
  bool in_digits = false;
  for (char c : Formula) {
    if (IsUpperLetter(c)) {
      if (j + 1 == kMaxComponents) fail("more than " + std::to_string(kMaxComponents) + " components");
      ++j;
      Components[j].Name.clear();
      Components[j].Digits.clear();
      in_digits = false;
    }
    if (IsDigit(c)) in_digits = true;
    if (j < 0) fail("a formula with digits begins with an upper-case letter, not " + Quote(std::string(1, c)));
    (in_digits ? Components[j].Digits : Components[j].Name).push_back(c);
  }
  ComponentCount = j;
  if (static_cast<signed char>(Formula.back()) > kLastDigitCode) DigitlessIndex = j;
  if (DigitlessIndex == kNoPartner) ComponentCount = ComponentCount + 1;

  std::int64_t total = 0;
  DigitsTotal = 0;
  for (int i = 0; i < ComponentCount; ++i) {
    if (!IsVisited(i)) continue;
    try {
      Weights[i] = StrToInt(Components[i].Digits);
      total += Weights[i];
    } catch (const Error& error) {
      fail("weight of component " + Quote(Components[i].Name) + ": " + error.what());
    }
    if (total > std::numeric_limits<std::int32_t>::max()) fail("the weights add up to more than 2147483647");
    DigitsTotal = static_cast<int>(total);
  }
  if (DigitsTotal == 0) fail("the weights add up to 0");
  Parsed = 1;
}

}  // namespace xrd
