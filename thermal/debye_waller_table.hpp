// The Debye-Waller table (debye_waller.dat): the B factor in square
// angstroms of each element in each structure on one grid of temperatures,
// isotropic (B) or, for a crystal with a unique c axis, across and along c
// (B11, B33), each row naming its source.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/data_files.hpp"

namespace xrd {

inline constexpr const char* kDebyeWallerFileName = "debye_waller.dat";

// Which mean-square displacement a row gives.
enum class DisplacementAxis { Isotropic, AcrossC, AlongC };

struct DebyeWallerRow {
  std::string structure;  // a structure name (GaAs, GaNw)
  std::string element;    // a symbol (Ga)
  DisplacementAxis axis = DisplacementAxis::Isotropic;
  std::string source;  // the source key, explained in the file's header
  // B at the grid's first temperatures: a row may end before the grid does
  // (at a melting point), never begin later.
  std::vector<double> b;
};

struct DebyeWallerTable {
  std::string path;                    // where it was read
  std::vector<double> temperatures_k;  // rising, from 0
  double uniform_step_k = 0.0;         // the grid's step where the grid is i * step exactly, else 0
  std::vector<DebyeWallerRow> rows;

  const DebyeWallerRow* Find(std::string_view structure, std::string_view element, DisplacementAxis axis) const;
  bool HasStructure(std::string_view structure) const;
  // The highest temperature up to which every row of `structure` has data
  // (negative when it has none).
  double HighestTemperature(std::string_view structure) const;
};

// Reads the table. Lines are split at white space; '#' begins a comment
// line; blank lines are skipped. The first other line is "temperatures"
// and at least two rising numbers from 0; each further line is
// structure, element, B | B11 | B33, source, and one positive B for each
// temperature from the first on. An element has B or both of B11 and B33.
// Gives nullopt and writes `problem` (with the line number) otherwise.
std::optional<DebyeWallerTable> ReadDebyeWallerTable(std::string_view text, std::string* problem);

// The table of the data directory, read once. Throws Error naming the file
// when it is missing or unusable.
const DebyeWallerTable& DebyeWallerTableOf(const DataFiles& files);

// B of `row` at `temperature_k`, linear between the grid's temperatures;
// nullopt above the row's last one.
std::optional<double> BAt(const DebyeWallerTable& table, const DebyeWallerRow& row, double temperature_k);

}  // namespace xrd
