// Texts from the input and the data made safe and short for messages.
#include "runtime/printable.hpp"

#include <cstdio>

namespace xrd {

namespace {

constexpr std::size_t kLongestShown = 60;

}  // namespace

std::string Printable(std::string_view text) {
  std::string shown;
  const std::size_t length = text.size() > kLongestShown ? kLongestShown : text.size();
  for (std::size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 32 || c >= 127) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      shown += escape;
    } else {
      shown += static_cast<char>(c);
    }
  }
  if (length < text.size()) shown += "... (" + std::to_string(text.size()) + " characters)";
  return shown;
}

std::string Quote(std::string_view text) {
  std::string quoted(1, '"');
  quoted += Printable(text);
  quoted += '"';
  return quoted;
}

}  // namespace xrd
