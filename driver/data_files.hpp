// The data directory Base/ beside the executable, opening data files from
// it, the chemical-symbol match rule, and the element record search shared
// by the form-factor and anomalous-factor tables.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "driver/text_file.hpp"
#include "driver/text_scanner.hpp"

namespace xrd {

// Directory of the running executable's resolved real path + "/Base/" + name.
std::string DataFilePath(std::string_view name);

// A data file under the text-mode rules, held as MapTextFile gives it.
struct DataFile {
  std::string path;
  TextFileContents contents;
  std::string_view text;  // contents.text(): stays valid when the DataFile moves
};

// Loads the data file `name`. A name that holds '/', '\\' or a NUL byte
// would leave the data directory and is never opened. On failure gives
// nothing and sets `problem` to the reason, with the path.
std::optional<DataFile> OpenDataFile(std::string_view name, std::string* problem = nullptr);

// A chemical symbol as two characters; a one-letter symbol has '\0' second.
struct ChemicalSymbol {
  char first = '\0';
  char second = '\0';
  std::string ToString() const;
};

// The one symbol rule of the program. `c1` is '\0' when the text ends after
// `c0`. A two-letter symbol matches both characters exactly; a one-letter
// symbol matches where its letter stands first and the next character is
// not a lower-case ASCII letter.
bool SymbolMatches(ChemicalSymbol symbol, char c0, char c1);

// Searches the record of `symbol` from the scanner's position: headers are
// "#S" wherever it stands, then four characters of any kind, white space and
// a two-character symbol field. True with the scanner just after the symbol
// field; false at the record whose field is "Cf" (unless Cf is sought) or at
// the end of the text.
bool FindElementRecord(TextScanner& scanner, ChemicalSymbol symbol);

}  // namespace xrd
