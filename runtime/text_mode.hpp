// The text-mode rules of every file the program reads or writes: reading
// drops every carriage return and ends the text at the first control-Z
// (byte 26); writing turns each line feed into CR LF.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace xrd {

inline constexpr char kControlZ = 26;

// Where the text of the `size` bytes at `bytes` ends (before the first
// control-Z), and its first carriage return (nullptr for none).
std::size_t TextLength(char* bytes, std::size_t size, char*& first_cr);

// Drops the carriage returns of the `length` bytes at `begin`, the first of
// them at `first_cr`; gives the length left.
std::size_t DropCarriageReturns(char* begin, std::size_t length, char* first_cr);

// Applies the reading rules to the `size` bytes at `bytes`, in place, and
// gives the length of the text they leave.
std::size_t ApplyTextModeReading(char* bytes, std::size_t size);

// Applies the reading rules to raw file bytes, in place.
void ApplyTextModeReading(std::string& bytes);

// The bytes that writing `text` in text mode puts in a file.
std::string ToTextModeBytes(std::string_view text);

}  // namespace xrd
