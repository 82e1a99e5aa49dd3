// Text-mode reading and writing of bytes in memory. Two searches with the
// C library's memchr (vectorised for the machine) take fewer instructions
// than one pass of portable code looking for both CR and control-Z.
#include "runtime/text_mode.hpp"

#include <cstring>

namespace xrd {

std::size_t TextLength(char* bytes, std::size_t size, char*& first_cr) {
  const void* z = std::memchr(bytes, kControlZ, size);
  const std::size_t length = z ? static_cast<std::size_t>(static_cast<const char*>(z) - bytes) : size;
  first_cr = static_cast<char*>(std::memchr(bytes, '\r', length));
  return length;
}

std::size_t DropCarriageReturns(char* begin, std::size_t length, char* first_cr) {
  const char* end = begin + length;
  char* out = first_cr;
  const char* in = first_cr;
  while (in < end) {
    ++in;  // drop the carriage return
    const char* next = static_cast<const char*>(std::memchr(in, '\r', static_cast<std::size_t>(end - in)));
    const char* stop = next ? next : end;
    std::memmove(out, in, static_cast<std::size_t>(stop - in));
    out += stop - in;
    in = stop;
  }
  return static_cast<std::size_t>(out - begin);
}

std::size_t ApplyTextModeReading(char* bytes, std::size_t size) {
  char* first_cr = nullptr;
  const std::size_t length = TextLength(bytes, size, first_cr);
  return first_cr ? DropCarriageReturns(bytes, length, first_cr) : length;
}

void ApplyTextModeReading(std::string& bytes) { bytes.resize(ApplyTextModeReading(bytes.data(), bytes.size())); }

std::string ToTextModeBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 8 + 2);
  for (char c : text) {
    if (c == '\n') bytes.push_back('\r');
    bytes.push_back(c);
  }
  return bytes;
}

}  // namespace xrd
