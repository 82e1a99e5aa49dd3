// Warnings about data problems that do not stop the run: one line on
// standard error beginning "warning: ".
#pragma once

#include <string_view>

namespace xrd {

void Warn(std::string_view message);

}  // namespace xrd
