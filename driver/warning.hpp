// Warnings about data problems that do not stop the run (one line on
// standard error beginning "warning: "), and how messages show texts that
// come from the input.
#pragma once

#include <string>
#include <string_view>

namespace xrd {

void Warn(std::string_view message);

// `text` as a message shows it: control characters, blanks other than the
// space, and bytes from 128 on as \xNN; cut after 60 characters with "...".
std::string Printable(std::string_view text);

// Printable(text) in double quotes.
std::string Quote(std::string_view text);

}  // namespace xrd
