// An element's block in a structure file: the first line piece (at most 79
// characters, from the very start of the file) that begins with the
// element's symbol, then the site count (1 to 20) and that many sites
// "x, y, z" in fractional coordinates.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "element/chemical_symbol.hpp"

namespace xrd {

inline constexpr int kMaxSites = 20;

struct Site {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

struct SiteTable {
  Site sites[kMaxSites];
  int count = 0;
};

// Reads the element's sites from structure-file text. Gives nothing when
// the block is missing, its site count does not scan or lies outside 1 to
// 20, or a site does not scan as "x, y, z"; `problem` then says why.
std::optional<SiteTable> ReadElementSites(std::string_view structure_text, ChemicalSymbol symbol,
                                          std::string* problem);

}  // namespace xrd
