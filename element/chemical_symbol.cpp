// Chemical symbols: from texts, checked names, and the match rule.
#include "element/chemical_symbol.hpp"

#include "runtime/character_class.hpp"
#include "runtime/printable.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

std::string ChemicalSymbol::ToString() const {
  std::string text(1, first);
  if (second != '\0') text += second;
  return Printable(text);
}

ChemicalSymbol SymbolFromText(std::string_view symbol_text) {
  ChemicalSymbol symbol;
  if (!symbol_text.empty()) symbol.first = symbol_text[0];
  if (symbol_text.size() > 1) symbol.second = symbol_text[1];
  return symbol;
}

ChemicalSymbol ElementSymbol(std::string_view name) {
  const bool is_symbol = (name.size() == 1 || (name.size() == 2 && IsLowerLetter(name[1]))) && IsUpperLetter(name[0]);
  if (!is_symbol) {
    throw Error("element " + Quote(name) +
                " is not an element symbol (an upper-case letter and at most one lower-case one, as Ga or N)");
  }
  return SymbolFromText(name);
}

bool SymbolMatches(ChemicalSymbol symbol, char c0, char c1) {
  if (c0 != symbol.first) return false;
  if (symbol.second == '\0') return !IsLowerLetter(c1);
  return c1 == symbol.second;
}

}  // namespace xrd
