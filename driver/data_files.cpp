// Data-file location and the element record search.
#include "driver/data_files.hpp"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "driver/error.hpp"
#include "driver/text_file.hpp"
#include "driver/warning.hpp"

namespace xrd {

namespace {

// The directory holding the running executable, symlinks resolved; read
// once per process (it cannot change while the program runs).
const std::string& ExecutableDirectory() {
  static const std::string directory = [] {
    char buffer[PATH_MAX + 1];
    ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (length <= 0) return std::string(".");
    std::string path(buffer, static_cast<std::size_t>(length));
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string(".");
    return slash == 0 ? std::string("/") : path.substr(0, slash);
  }();
  return directory;
}

bool LeavesDataDirectory(std::string_view name) {
  return name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos;
}

bool IsLowerAscii(char c) { return c >= 'a' && c <= 'z'; }

}  // namespace

std::string DataFilePath(std::string_view name) {
  std::string path = ExecutableDirectory();
  if (path.back() != '/') path += '/';
  path += "Base/";
  path.append(name);
  return path;
}

std::optional<DataFile> OpenDataFile(std::string_view name, std::string* problem) {
  if (LeavesDataDirectory(name)) {
    if (problem) *problem = "data file name " + Quote(name) + " holds '/', '\\' or a NUL byte; not opened";
    return std::nullopt;
  }
  DataFile file;
  file.path = DataFilePath(name);
  std::string reason;
  std::optional<TextFileContents> contents = MapTextFile(file.path, &reason);
  if (!contents) {
    if (problem) *problem = "cannot open " + Printable(file.path) + ": " + reason;
    return std::nullopt;
  }
  file.contents = std::move(*contents);
  file.text = file.contents.text();
  return file;
}

std::string ChemicalSymbol::ToString() const {
  std::string text(1, first);
  if (second != '\0') text += second;
  return Printable(text);
}

bool SymbolMatches(ChemicalSymbol symbol, char c0, char c1) {
  if (c0 != symbol.first) return false;
  if (symbol.second == '\0') return !IsLowerAscii(c1);
  return c1 == symbol.second;
}

bool FindElementRecord(TextScanner& scanner, ChemicalSymbol symbol) {
  for (;;) {
    if (!scanner.SkipPast('#')) return false;
    char c = '\0';
    if (!scanner.ReadChar(c)) return false;
    if (c != 'S') continue;  // this character is not examined again
    char field[2] = {'\0', '\0'};
    if (scanner.Scan("%*4c %2c", field) != 1) return false;
    if (SymbolMatches(symbol, field[0], field[1])) return true;
    if (field[0] == 'C' && field[1] == 'f') return false;
  }
}

}  // namespace xrd
