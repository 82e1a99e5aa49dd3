// Writes one warning line to standard error in a single write.
#include "driver/warning.hpp"

#include <cstdio>
#include <string>

namespace xrd {

void Warn(std::string_view message) {
  std::string line = "warning: ";
  line.append(message);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace xrd
