// What the program tells about itself and its data when asked: its usage,
// its version with the sources of the tables, and what the data directory
// holds.
#pragma once

#include <string>

#include "runtime/data_files.hpp"

namespace xrd {

// The text of --help: input.dat, output.dat, the data directory, the exit
// statuses.
std::string UsageText(const std::string& data_directory);

// The text of --version: the version and the source lines of the tables.
std::string VersionText(const DataFiles& files);

// The text of --list: every structure file with its lattice constant,
// structure scalar and elements, and the energy range of f1f2.dat.
std::string ListingText(const DataFiles& files);

}  // namespace xrd
