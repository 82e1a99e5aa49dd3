// An element's block in a structure file: the first line piece (at most 79
// characters, from the very start of the file) that begins with the
// element's symbol, then the site count and up to 20 sites "x, y, z" in
// fractional coordinates.
#pragma once

#include <string>
#include <string_view>

#include "driver/data_files.hpp"

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

// Reads the element's sites from structure-file text. Sites that cannot be
// read are left out; `problem` then says why (empty when all is well).
SiteTable ReadElementSites(std::string_view structure_text, ChemicalSymbol symbol, std::string* problem);

}  // namespace xrd
