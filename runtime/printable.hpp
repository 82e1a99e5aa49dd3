// How messages show texts that come from the input or the data: safe to
// print and short.
#pragma once

#include <string>
#include <string_view>

namespace xrd {

// `text` as a message shows it: control characters, blanks other than the
// space, and bytes from 128 on as \xNN; cut after 60 characters with "...".
std::string Printable(std::string_view text);

// Printable(text) in double quotes.
std::string Quote(std::string_view text);

}  // namespace xrd
