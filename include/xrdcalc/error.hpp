// The one error type of the program: an orderly stop with a message that
// main prints on standard error before it exits with status 1.
#pragma once

#include <stdexcept>
#include <string>

namespace xrd {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace xrd
