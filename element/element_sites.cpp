// Site-block reading from structure-file text.
#include "element/element_sites.hpp"

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

SiteTable ReadElementSites(std::string_view structure_text, ChemicalSymbol symbol, std::string* problem) {
  SiteTable table;
  TextScanner scanner(structure_text);
  if (!FindSymbolLine(scanner, symbol)) {
    *problem = "no line begins with the element's symbol";
    return table;
  }
  int declared = 0;
  if (scanner.Scan("%d", &declared) != 1) {
    *problem = "the site count is not an integer";
    return table;
  }
  int wanted = declared;
  if (declared > kMaxSites) {
    *problem = "site count " + std::to_string(declared) + " above " + std::to_string(kMaxSites) +
               "; the first " + std::to_string(kMaxSites) + " sites are used";
    wanted = kMaxSites;
  }
  for (int i = 0; i < wanted; ++i) {
    Site& site = table.sites[i];
    if (scanner.Scan(" %lf, %lf, %lf", &site.x, &site.y, &site.z) != 3) {
      if (!problem->empty()) *problem += "; ";
      *problem += "site " + std::to_string(i + 1) + " of " + std::to_string(declared) +
                 " is not three numbers \"x, y, z\"; only the sites before it are used";
      break;
    }
    table.count = i + 1;
  }
  return table;
}

}  // namespace xrd
