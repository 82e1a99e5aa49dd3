// --help, --version and --list.
#include "driver/data_listing.hpp"

#include <algorithm>
#include <limits>
#include <optional>

#include "element/anomalous_record.hpp"
#include "element/record_headers.hpp"
#include "runtime/character_class.hpp"
#include "runtime/number_format.hpp"
#include "runtime/printable.hpp"
#include "structure/structure.hpp"
#include "structure/structure_header.hpp"
#include "thermal/debye_waller_table.hpp"
#include "xrdcalc/error.hpp"

#ifndef XRDCALC_VERSION
#define XRDCALC_VERSION "unknown"
#endif

namespace xrd {

namespace {

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

// The lines of a table's leading comment block that name it and its
// source ("#F", "#UT" and "#C" lines), at most `most` of them.
std::string SourceLines(const DataFiles& files, const char* name, int most) {
  std::string text = std::string(name) + ":\n";
  const DataFile* file = nullptr;
  try {
    file = files.GetIfPresent(name);
  } catch (const Error& error) {
    return text + "  " + error.what() + "\n";
  }
  if (!file) return text + "  (missing)\n";
  std::string_view rest = file->text();
  int lines = 0;
  while (!rest.empty() && lines < most) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (line.starts_with("#S")) break;
    if (line.starts_with("#F") || line.starts_with("#UT") || line.starts_with("#C")) {
      std::string shown(line.substr(0, 200));
      for (char& ch : shown) {
        if (static_cast<unsigned char>(ch) < 32) ch = ' ';
      }
      text += "  " + shown + "\n";
      ++lines;
    }
  }
  return text;
}

// The symbols of the records of a table, in file order, up to its Cf end
// record.
std::vector<ChemicalSymbol> RecordSymbols(std::string_view text) {
  std::vector<ChemicalSymbol> symbols;
  for (const RecordHeader& header : ScanRecordHeaders(text).headers) {
    const bool two_letters = IsLowerLetter(header.field[1]);
    symbols.push_back(ChemicalSymbol{header.field[0], two_letters ? header.field[1] : '\0'});
  }
  return symbols;
}

// A cube's edge ("5.65325"), or the whole cell ("3.189 3.189 5.185 90 90 120").
std::string CellText(const UnitCell& cell) {
  if (cell.IsOrthogonal() && cell.b == cell.a && cell.c == cell.a) return FormatG(cell.a);
  return FormatG(cell.a) + " " + FormatG(cell.b) + " " + FormatG(cell.c) + " " + FormatG(cell.alpha) + " " +
         FormatG(cell.beta) + " " + FormatG(cell.gamma);
}

std::string EnergyRange(const DataFiles& files) {
  const DataFile* table = nullptr;
  try {
    table = files.GetIfPresent("f1f2.dat");
  } catch (const Error& error) {
    return std::string("f1f2.dat: ") + error.what() + "\n";
  }
  if (!table) return "f1f2.dat: missing\n";
  int elements = 0;
  double lowest = std::numeric_limits<double>::infinity();
  double highest = -lowest;
  double common_low = -lowest;
  double common_high = lowest;
  for (ChemicalSymbol symbol : RecordSymbols(table->text())) {
    std::string problem;
    std::optional<AnomalousRecord> record = ReadAnomalousRecord(table->text(), HeadersOf(*table), symbol, &problem);
    if (!record || !record->present || record->rows.size() < 2) continue;
    const double first = record->rows.front().energy_ev;
    const double last = record->rows.back().energy_ev;
    ++elements;
    lowest = std::min(lowest, first);
    highest = std::max(highest, last);
    common_low = std::max(common_low, first);
    common_high = std::min(common_high, last);
  }
  if (elements == 0) return "f1f2.dat: no usable element records\n";
  return "f1f2.dat: " + std::to_string(elements) + " elements, energies " + FormatG(lowest) + " to " + FormatG(highest) +
         " eV; every one of them covers " + FormatG(common_low) + " to " + FormatG(common_high) + " eV\n";
}

// The Debye-Waller table, or null with `problem` saying why not.
const DebyeWallerTable* ThermalTable(const DataFiles& files, std::string& problem) {
  try {
    if (!files.GetIfPresent(kDebyeWallerFileName)) {
      problem = "missing";
      return nullptr;
    }
    return &DebyeWallerTableOf(files);
  } catch (const Error& error) {
    problem = error.what();
    return nullptr;
  }
}

// "  [B(T) 0-1000 K]" for a structure with Debye-Waller data, "  [no B(T)]" without.
std::string ThermalMark(const DebyeWallerTable* table, const std::string& name) {
  if (!table) return {};
  if (!table->HasStructure(name)) return "  [no B(T)]";
  return "  [B(T) 0-" + FormatG(table->HighestTemperature(name)) + " K]";
}

}  // namespace

std::string UsageText(const std::string& data_directory) {
  return "usage: xrdcalc [--help | --version | --list] [--temperature K]\n"
         "\n"
         "Without options, xrdcalc reads input.dat in the working directory, computes the\n"
         "structure factors and optical constants of one reflection of a crystal or mixed\n"
         "crystal, and writes output.dat there.\n"
         "\n"
         "input.dat (numbers separated by any white space; the formula is a line of its own):\n"
         "  a b c        lattice constants in angstroms; 0 0 0 takes them from the structure files\n"
         "               (otherwise three positive numbers)\n"
         "  v4 v5 v6     three numbers that are read and not used\n"
         "  lambda       wavelength in angstroms (positive)\n"
         "  h k l        Miller indices of the reflection\n"
         "  theta        Bragg angle in degrees; 0 derives it from each structure's lattice\n"
         "  formula      one structure (GaAs) or a mix with whole-number weights (Ga7In3As)\n"
         "  scale        factor applied to the six optical constants\n"
         "\n"
         "output.dat (18 lines, CR LF line ends):\n"
         "  1-6    sum of f1, sum of f2, Re and Im F(-h-k-l), Re and Im F(hkl)\n"
         "  7-12   the six sums times r_e lambda^2 / (pi V) and the scale, the first negated\n"
         "  13     empty\n"
         "  14-16  lattice constants a, b (%g) and c (%f) in angstroms\n"
         "  17     empty\n"
         "  18     structure scalar (%f)\n"
         "\n"
         "--temperature K damps each element's scattering factor in F(hkl) and F(-h-k-l)\n"
         "by its thermal vibration at K kelvin, exp(-B s^2) with B from debye_waller.dat;\n"
         "a structure without B data there stops the run. Without it, no damping.\n"
         "\n"
         "Data: f0_xop.dat, f1f2.dat, <structure>.stf and debye_waller.dat in the directory\n"
         "Base beside the executable, here " +
         data_directory +
         "\n"
         "\n"
         "Exit status: 0 when output.dat has been written (warnings may stand on standard\n"
         "error); 1 when the run stopped: the reason is on standard error and no output.dat\n"
         "is left, not even one from an earlier run.\n"
         "\n"
         "Options: --help this text; --version the version and the tables' sources;\n"
         "--list the structures (with the temperatures of their B data) and the energy\n"
         "range of the data directory. Any other argument is ignored with a warning.\n";
}

std::string VersionText(const DataFiles& files) {
  return std::string("xrdcalc ") + XRDCALC_VERSION + "\n" + "data directory: " + files.directory() + "\n" +
         SourceLines(files, "f0_xop.dat", 3) + SourceLines(files, "f1f2.dat", 3) +
         SourceLines(files, kDebyeWallerFileName, 3);
}

std::string ListingText(const DataFiles& files) {
  std::string text = "data directory: " + files.directory() + "\n";
  text += Padded("structure", 12) + Padded("a (A)", 11) + Padded("scalar", 9) + "elements\n";
  text += "(a cell that is not cubic as a b c in A, alpha beta gamma in degrees)\n";
  std::string thermal_problem;
  const DebyeWallerTable* thermal = ThermalTable(files, thermal_problem);
  for (const std::string& file_name : files.NamesEndingIn(".stf")) {
    const std::string name = file_name.substr(0, file_name.size() - 4);
    std::string line = Padded(Printable(name), 12);
    std::string problem;
    std::optional<StructureHeader> header;
    try {
      header = ReadStructureHeader(files.Get(file_name).text(), &problem);
    } catch (const Error& error) {
      problem = error.what();
    }
    if (!header) {
      text += line + "unusable: " + problem + "\n";
      continue;
    }
    line += Padded(CellText(header->cell) + " ", 11) + Padded(FormatG(header->structure_scalar), 9);
    if (header->symbol_count > 0) {
      line += header->symbols[0] + (header->symbol_count == 2 ? " " + header->symbols[1] : std::string());
    } else if (header->element_count == 2 && name.size() >= 2) {
      const std::array<std::string, 2> symbols = SplitSymbols(name);
      line += Printable(symbols[0]) + " " + Printable(symbols[1]);
    } else {
      line += Printable(name.substr(0, 2));
    }
    const std::string_view title = files.Get(file_name).text().substr(0, files.Get(file_name).text().find('\n'));
    text += line + "  (" + Printable(title) + ")" + ThermalMark(thermal, name) + "\n";
  }
  text += EnergyRange(files);
  if (!thermal) text += std::string(kDebyeWallerFileName) + ": " + thermal_problem + "\n";
  return text;
}

}  // namespace xrd
