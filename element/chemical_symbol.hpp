// A chemical symbol as the tables and structure files hold it: two
// characters compared one by one and case-sensitively, a one-letter symbol
// carrying the character of code 0 second; and the one rule by which a
// symbol matches a field of a table or a line of a structure file.
#pragma once

#include <string>
#include <string_view>

namespace xrd {

struct ChemicalSymbol {
  char first = '\0';
  char second = '\0';
  std::string ToString() const;
};

// The symbol of a symbol text: its first two characters (a one-letter text
// gives '\0' second).
ChemicalSymbol SymbolFromText(std::string_view symbol_text);

// The symbol an element name given to the library stands for: exactly an
// upper-case letter, optionally followed by one lower-case letter ("Ga",
// "N"). Throws Error naming the text for anything else ("GaAs", "Gallium",
// "Ga1", "ga").
ChemicalSymbol ElementSymbol(std::string_view name);

// Whether the two characters `c0`, `c1` (`c1` is '\0' when the text ends
// after `c0`) stand for `symbol`: a two-letter symbol matches both
// characters exactly; a one-letter symbol matches where its letter stands
// first and the next character is not a lower-case ASCII letter.
bool SymbolMatches(ChemicalSymbol symbol, char c0, char c1);

}  // namespace xrd
