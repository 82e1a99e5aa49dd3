// The one error type of the library and the program: an orderly stop with a
// message (the program prints it on standard error and exits with status 1).
#pragma once

#include <stdexcept>
#include <string>

#include "xrdcalc/export.hpp"

namespace xrd {

class XRDCALC_API Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace xrd
