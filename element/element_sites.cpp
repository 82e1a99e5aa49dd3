// Site-block reading from structure-file text.
#include "element/element_sites.hpp"

#include "runtime/text_scanner.hpp"

namespace xrd {

namespace {

bool FindSymbolLine(TextScanner& scanner, ChemicalSymbol symbol) {
  std::string_view piece;
  while (scanner.ReadPiece(piece)) {
    if (SymbolMatches(symbol, piece[0], piece.size() > 1 ? piece[1] : '\0')) return true;
  }
  return false;
}

}  // namespace

std::optional<SiteTable> ReadElementSites(std::string_view structure_text, ChemicalSymbol symbol,
                                          std::string* problem) {
  TextScanner scanner(structure_text);
  if (!FindSymbolLine(scanner, symbol)) {
    *problem = "no line begins with the element's symbol: its block of sites is missing";
    return std::nullopt;
  }
  int count = 0;
  if (scanner.Scan("%d", &count) != 1) {
    *problem = "the site count is not an integer";
    return std::nullopt;
  }
  if (count <= 0 || count > kMaxSites) {
    *problem = "site count " + std::to_string(count) + " outside 1 to " + std::to_string(kMaxSites);
    return std::nullopt;
  }
  SiteTable table;
  for (int i = 0; i < count; ++i) {
    Site& site = table.sites[i];
    if (scanner.Scan(" %lf, %lf, %lf", &site.x, &site.y, &site.z) != 3) {
      *problem = "site " + std::to_string(i + 1) + " of " + std::to_string(count) + " is not three numbers \"x, y, z\"";
      return std::nullopt;
    }
  }
  table.count = count;
  return table;
}

}  // namespace xrd
