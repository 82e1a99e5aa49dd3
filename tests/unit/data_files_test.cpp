// The symbol rule, the element record search and the data files of a
// directory.
#include "element/chemical_symbol.hpp"
#include "element/record_headers.hpp"
#include "runtime/data_files.hpp"
#include "tests/unit/test_data.hpp"

#include <gtest/gtest.h>

namespace xrd {
namespace {

ChemicalSymbol Sym(const char* text) { return ChemicalSymbol{text[0], text[0] ? text[1] : '\0'}; }

// Searches `text` for `symbol`; gives what follows the symbol field, or
// "not found".
std::string Search(std::string_view text, const char* symbol) {
  std::size_t after = 0;
  const bool found = SearchRecordHeaders(ScanRecordHeaders(text), Sym(symbol), after) == RecordSearch::Found;
  return found ? std::string(text.substr(after)) : "not found";
}

// A two-letter symbol matches its two letters; a one-letter one its letter
// followed by anything but a lower-case letter. A record header is "#S",
// four characters (line ends among them), white space and the symbol field,
// anywhere in a line; the search finds the Cf record and none after it, and
// ends at the end of the text without looping.
TEST(RecordHeaders, AreRecognisedAsTheTablesHoldThem) {
  const struct { const char* symbol; char c0, c1; bool matches; } symbols[] = {
      {"Si", 'S', 'i', true},  {"Si", 'S', 'n', false}, {"Si", 's', 'i', false}, {"S", 'S', 'i', false},
      {"S", 'S', '\n', true},  {"S", 'S', ' ', true},   {"S", 'S', '\t', true},  {"S", 'S', '1', true},
      {"S", 'S', '-', true},   {"S", 'S', '\0', true},  {"S", 'S', 'I', true},   {"C", 'C', 'f', false},
      {"H", 'H', 'e', false},  {"Ga", 'G', '\n', false}, {"N", 'n', '\n', false}, {"Ga", 'G', 'a', true},
  };
  for (const auto& c : symbols) {
    EXPECT_EQ(SymbolMatches(Sym(c.symbol), c.c0, c.c1), c.matches) << c.symbol << " against " << c.c0 << int(c.c1);
  }
  const std::string table =
      "#F table\n#S  1  H\nh-data\n#S  2  He\nhe-data\nnote ##S  7  N\n"
      "text #S  14  Si\nsi-data\n#S  98  Cf\ncf-data\n#S  54  Xe\nxe-data\n";
  const struct { std::string text; const char* symbol; const char* rest; } cases[] = {
      {table, "H", "h-data\n#S  2  He\nhe-data\nnote ##S  7  N\ntext #S  14  Si\nsi-data\n#S  98  Cf\ncf-data\n"
                   "#S  54  Xe\nxe-data\n"},
      {table, "He", "\nhe-data\nnote ##S  7  N\ntext #S  14  Si\nsi-data\n#S  98  Cf\ncf-data\n#S  54  Xe\nxe-data\n"},
      {table, "Si", "\nsi-data\n#S  98  Cf\ncf-data\n#S  54  Xe\nxe-data\n"},  // a header in the middle of a line
      {table, "N", "not found"},                                         // "#", "#", "S" is no header
      {table, "Cf", "\ncf-data\n#S  54  Xe\nxe-data\n"},                 // the end marker itself is found
      {table, "Xe", "not found"},                                        // records after Cf are never found
      {table, "C", "not found"},                                         // Cf is not carbon
      {"#S  1  H", "H", ""},                                             // a one-letter symbol at the very end
      {"#S\n\n\n\n\n  Ga!", "Ga", "!"},                                     // the four skipped may be line ends
  };
  for (const auto& c : cases) EXPECT_EQ(Search(c.text, c.symbol), c.rest) << c.symbol;
  for (const char* text : {"", "#", "#S", "#S  1", "#S  1  ", "no headers at all", "#S  1  Ge\n#S  2  Ga"}) {
    EXPECT_EQ(Search(text, "As"), "not found") << text;
  }
  EXPECT_EQ(ScanRecordHeaders("#S  1  H\n#S  2").headers.size(), 1u) << "a header cut short is none";
}

// Values kept under more keys than the lock-free slots hold are each found
// under their own key (keys alike in length and first and last bytes too),
// and the first value kept under a key stays.
TEST(KeptValues, FindsEveryValueUnderItsOwnKey) {
  KeptValues<std::unique_ptr<int>> kept;
  for (int i = 0; i < 40; ++i) kept.Keep("key" + std::to_string(i), std::make_unique<int>(i));
  const auto found = [&](const std::string& key) { const int* value = kept.Find(key); return value ? *value : -1; };
  for (int i = 0; i < 40; ++i) EXPECT_EQ(found("key" + std::to_string(i)), i);
  EXPECT_EQ(found("key40"), -1);  // none
  for (const int i : {0, 3}) EXPECT_EQ(*kept.Keep("key" + std::to_string(i), std::make_unique<int>(99)), i);
}

// A mapped table of 40 records of about 8 KiB (fields Ab, Ac, ...), with a
// Cf record at the end and without, is read only as far as the record
// searched for; the headers found are those of the whole table.
TEST(DataFiles, ALargeTableIsReadAsFarAsTheRecordSearchNeeds) {
  std::string records;
  for (int z = 1; z <= 40; ++z) {
    records += "#S " + std::to_string(z) + "  " + static_cast<char>('A' + z / 26) + static_cast<char>('a' + z % 26);
    for (int row = 0; row < 900; ++row) records += "\n1000 1 2";
    records += '\n';
  }
  const testing::ScratchDirectory directory("xrdcalc-large-table");
  for (const std::string end : {"#S 98  Cf\n1 2 3\n", ""}) {
    const std::string table = records + end;
    directory.Write("f1f2.dat", table);
    const RecordHeaders all = ScanRecordHeaders(table);
    for (const char* symbol : {"Ad", "Zz"}) {  // the third record; none
      const DataFiles files(directory.path());
      std::string_view text;
      const RecordHeaders found = HeadersThrough(files.Get("f1f2.dat"), Sym(symbol), text);
      const std::size_t count = symbol[0] == 'A' ? 4 : all.headers.size();
      ASSERT_EQ(found.headers.size(), count) << symbol;
      for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(found.headers[i].after_field, all.headers[i].after_field);
      EXPECT_EQ(found.ends_with_end_record, !end.empty()) << symbol;
      EXPECT_EQ(text, std::string_view(table).substr(0, text.size()));
      EXPECT_EQ(text.size() < table.size() / 2, symbol[0] == 'A') << symbol << ": only the start is read";
    }
  }
}

}  // namespace
}  // namespace xrd
