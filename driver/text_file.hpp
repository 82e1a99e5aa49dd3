// Whole-file text input and output with the program's text-mode rules:
// reading drops every carriage return and ends the text at the first
// control-Z (byte 26); writing turns each line feed into CR LF.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace xrd {

// Applies the reading rules to raw file bytes, in place.
void ApplyTextModeReading(std::string& bytes);

// Loads a whole file with one read into memory and applies the reading
// rules. On failure gives nothing and, when `problem` is set, a short
// description such as "No such file or directory".
std::optional<std::string> LoadTextFile(const std::string& path, std::string* problem = nullptr);

// The bytes that writing `text` in text mode puts in a file.
std::string ToTextModeBytes(std::string_view text);

// Writes `text` in text mode to `path` so that the file is always either
// complete or absent: a temporary file in the same directory is written and
// renamed into place. Throws Error when the file cannot be written.
void WriteTextFileAtomically(const std::string& path, std::string_view text);

}  // namespace xrd
