// A text that must be a whole number, such as the weight of a formula's
// component: decimal digits only, leading zeros allowed, within 32 bits.
#pragma once

#include <string>

namespace xrd {

// The whole number `digits` stands for; anything else throws Error saying
// why ("the weight is empty", "\"0.7\" is not a whole number", "... is out
// of range").
int StrToInt(const std::string& digits);

}  // namespace xrd
