// Reading debye_waller.dat, and B at a temperature between its grid points.
#include "thermal/debye_waller_table.hpp"

#include <algorithm>
#include <cmath>

#include "runtime/c_number.hpp"
#include "runtime/character_class.hpp"
#include "runtime/printable.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsScanSpace(line[i])) ++i;
    const std::size_t begin = i;
    while (i < line.size() && !IsScanSpace(line[i])) ++i;
    if (i > begin) fields.push_back(line.substr(begin, i - begin));
  }
  return fields;
}

// The whole field as a finite number, or nullopt.
std::optional<double> FiniteNumber(std::string_view field) {
  double value = 0.0;
  const std::size_t used = ConvertCNumber(field.data(), field.data() + field.size(), value);
  if (used != field.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool IsSymbol(std::string_view text) {
  return (text.size() == 1 && IsUpperLetter(text[0])) ||
         (text.size() == 2 && IsUpperLetter(text[0]) && IsLowerLetter(text[1]));
}

bool IsStructureName(std::string_view text) {
  if (text.empty() || !IsUpperLetter(text[0])) return false;
  for (const char c : text) {
    if (!IsUpperLetter(c) && !IsLowerLetter(c) && !IsDigit(c)) return false;
  }
  return true;
}

std::optional<DisplacementAxis> AxisOf(std::string_view text) {
  if (text == "B") return DisplacementAxis::Isotropic;
  if (text == "B11") return DisplacementAxis::AcrossC;
  if (text == "B33") return DisplacementAxis::AlongC;
  return std::nullopt;
}

std::string ReadGrid(const std::vector<std::string_view>& fields, std::vector<double>& grid) {
  if (fields[0] != "temperatures") return "the first line must be \"temperatures\" and the grid";
  if (fields.size() < 3) return "the grid of temperatures has fewer than two temperatures";
  for (std::size_t i = 1; i < fields.size(); ++i) {
    const std::optional<double> t = FiniteNumber(fields[i]);
    if (!t) return "the temperature " + Quote(fields[i]) + " is not a finite number";
    if (grid.empty() ? *t != 0.0 : !(*t > grid.back())) {
      return "the temperatures must rise from 0; " + Quote(fields[i]) + " does not";
    }
    grid.push_back(*t);
  }
  return {};
}

std::string ReadRow(const std::vector<std::string_view>& fields, std::size_t grid_size, DebyeWallerRow& row) {
  if (fields.size() < 6) return "a row is structure, element, B | B11 | B33, source and at least two values of B";
  if (!IsStructureName(fields[0])) return Quote(fields[0]) + " is not a structure name";
  if (!IsSymbol(fields[1])) return Quote(fields[1]) + " is not an element symbol";
  const std::optional<DisplacementAxis> axis = AxisOf(fields[2]);
  if (!axis) return Quote(fields[2]) + " is not B, B11 or B33";
  if (fields.size() - 4 > grid_size) return "the row has more values than the grid has temperatures";
  row.structure = fields[0];
  row.element = fields[1];
  row.axis = *axis;
  row.source = fields[3];
  for (std::size_t i = 4; i < fields.size(); ++i) {
    const std::optional<double> b = FiniteNumber(fields[i]);
    if (!b || !(*b > 0.0)) return "the B value " + Quote(fields[i]) + " is not a positive, finite number";
    row.b.push_back(*b);
  }
  return {};
}

// Each element of a structure has B alone, or B11 and B33 together; once.
std::string CheckElements(const DebyeWallerTable& table) {
  for (const DebyeWallerRow& row : table.rows) {
    int same = 0;
    for (const DebyeWallerRow& other : table.rows) {
      same += other.structure == row.structure && other.element == row.element && other.axis == row.axis;
    }
    const std::string who = row.element + " of " + row.structure;
    if (same > 1) return who + " has more than one row of one kind";
    const bool isotropic = table.Find(row.structure, row.element, DisplacementAxis::Isotropic) != nullptr;
    const bool across = table.Find(row.structure, row.element, DisplacementAxis::AcrossC) != nullptr;
    const bool along = table.Find(row.structure, row.element, DisplacementAxis::AlongC) != nullptr;
    if (isotropic && (across || along)) return who + " has both B and B11 or B33";
    if (across != along) return who + " has one of B11 and B33 without the other";
  }
  return {};
}

// The step of a grid that is exactly 0, step, 2 step, ..., or 0.
double UniformStep(const std::vector<double>& grid) {
  const double step = grid[1];
  for (std::size_t i = 0; i < grid.size(); ++i) {
    if (grid[i] != static_cast<double>(i) * step) return 0.0;
  }
  return step;
}

}  // namespace

const DebyeWallerRow* DebyeWallerTable::Find(std::string_view structure, std::string_view element,
                                             DisplacementAxis axis) const {
  for (const DebyeWallerRow& row : rows) {
    if (row.structure == structure && row.element == element && row.axis == axis) return &row;
  }
  return nullptr;
}

bool DebyeWallerTable::HasStructure(std::string_view structure) const { return HighestTemperature(structure) >= 0.0; }

double DebyeWallerTable::HighestTemperature(std::string_view structure) const {
  double highest = -1.0;
  for (const DebyeWallerRow& row : rows) {
    if (row.structure != structure) continue;
    const double last = temperatures_k[row.b.size() - 1];
    highest = highest < 0.0 ? last : std::min(highest, last);
  }
  return highest;
}

std::optional<DebyeWallerTable> ReadDebyeWallerTable(std::string_view text, std::string* problem) {
  DebyeWallerTable table;
  int line_number = 0;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    ++line_number;
    const std::vector<std::string_view> fields = Fields(line);
    if (fields.empty() || fields[0].starts_with('#')) continue;
    std::string found;
    if (table.temperatures_k.empty()) {
      found = ReadGrid(fields, table.temperatures_k);
    } else {
      found = ReadRow(fields, table.temperatures_k.size(), table.rows.emplace_back());
    }
    if (!found.empty()) {
      *problem = "line " + std::to_string(line_number) + ": " + found;
      return std::nullopt;
    }
  }
  if (table.temperatures_k.empty()) {
    *problem = "no grid of temperatures";
    return std::nullopt;
  }
  if (std::string found = CheckElements(table); !found.empty()) {
    *problem = found;
    return std::nullopt;
  }
  table.uniform_step_k = UniformStep(table.temperatures_k);
  return table;
}

const DebyeWallerTable& DebyeWallerTableOf(const DataFiles& files) {
  const DataFile& file = files.Get(kDebyeWallerFileName);
  return file.Memo<DebyeWallerTable>("debye-waller table", [&] {
    std::string problem;
    std::optional<DebyeWallerTable> read = ReadDebyeWallerTable(file.text(), &problem);
    if (!read) throw Error(Printable(file.path()) + ": " + problem);
    read->path = file.path();
    return *read;
  });
}

std::optional<double> BAt(const DebyeWallerTable& table, const DebyeWallerRow& row, double temperature_k) {
  const std::vector<double>& t = table.temperatures_k;
  const std::size_t last = row.b.size() - 1;
  if (!(temperature_k >= 0.0) || temperature_k > t[last]) return std::nullopt;
  // The first grid temperature from `temperature_k` on, the second at least:
  // on a uniform grid by its index, else by a binary search.
  std::size_t upper = 0;
  double share = 0.0;  // of the way from the temperature before to `upper`
  if (table.uniform_step_k > 0.0) {
    const double steps = temperature_k / table.uniform_step_k;  // at most the grid's size
    int index = static_cast<int>(steps);
    index += static_cast<double>(index) < steps;
    upper = static_cast<std::size_t>(std::clamp(index, 1, static_cast<int>(last)));
    share = steps - static_cast<double>(upper - 1);
  } else {
    upper = static_cast<std::size_t>(
        std::lower_bound(t.begin() + 1, t.begin() + static_cast<std::ptrdiff_t>(last), temperature_k) - t.begin());
    share = (temperature_k - t[upper - 1]) / (t[upper] - t[upper - 1]);
  }
  return row.b[upper - 1] + share * (row.b[upper] - row.b[upper - 1]);
}

}  // namespace xrd
