// Hints for a structure name without a structure file: the structures of
// the data directory whose names are closest to it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/data_files.hpp"

namespace xrd {

// Up to three of `structures` whose names are closest to `name`, ignoring
// case, closest first.
std::vector<std::string> ClosestStructureNames(std::string_view name, const std::vector<std::string>& structures);

// The message for a structure without a structure file: the file sought,
// blanks or tabs at the ends of the name, and the closest structures that
// the data directory holds.
std::string MissingStructureMessage(const DataFiles& files, const std::string& name, const std::string& file_name);

}  // namespace xrd
