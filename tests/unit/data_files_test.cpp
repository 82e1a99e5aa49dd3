// The symbol rule, the element record search and the data files of a
// directory.
#include "element/chemical_symbol.hpp"
#include "element/record_headers.hpp"
#include "runtime/data_files.hpp"
#include "tests/unit/test_data.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>

namespace xrd {
namespace {

ChemicalSymbol Sym(const char* text) { return ChemicalSymbol{text[0], text[0] ? text[1] : '\0'}; }

TEST(SymbolRule, OneAndTwoLetterSymbols) {
  struct Case {
    const char* symbol;
    char c0, c1;
    bool matches;
  } cases[] = {
      {"Si", 'S', 'i', true},  {"Si", 'S', 'n', false}, {"Si", 's', 'i', false}, {"S", 'S', 'i', false},
      {"S", 'S', '\n', true},  {"S", 'S', ' ', true},   {"S", 'S', '\t', true},  {"S", 'S', '1', true},
      {"S", 'S', '-', true},   {"S", 'S', '\0', true},  {"S", 'S', 'I', true},   {"C", 'C', 'f', false},
      {"H", 'H', 'e', false},  {"Ga", 'G', '\n', false}, {"N", 'n', '\n', false}, {"Ga", 'G', 'a', true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SymbolMatches(Sym(c.symbol), c.c0, c.c1), c.matches)
        << c.symbol << " against '" << c.c0 << "' code " << int(c.c1);
  }
}

// Searches `text` for `symbol`; gives what follows the symbol field, or
// "not found".
std::string Search(std::string_view text, const char* symbol) {
  std::size_t after_field = 0;
  if (SearchRecordHeaders(ScanRecordHeaders(text), Sym(symbol), after_field) != RecordSearch::Found) {
    return "not found";
  }
  return std::string(text.substr(after_field));
}

TEST(RecordHeaders, AreRecognisedAsTheTablesHoldThem) {
  const std::string table =
      "#F table\n#S  1  H\nh-data\n#S  2  He\nhe-data\nnote ##S  7  N\n"
      "text #S  14  Si\nsi-data\n#S  98  Cf\ncf-data\n#S  54  Xe\nxe-data\n";
  // A one-letter symbol's field takes the character after the letter too.
  struct Case {
    const char* symbol;
    const char* rest;
  } cases[] = {
      {"H", "h-data\n#S  2  He\nhe-data\nnote ##S  7  N\ntext #S  14  Si\nsi-data\n#S  98  Cf\ncf-data\n"
            "#S  54  Xe\nxe-data\n"},
      {"He", "\nhe-data\nnote ##S  7  N\ntext #S  14  Si\nsi-data\n#S  98  Cf\ncf-data\n#S  54  Xe\nxe-data\n"},
      {"Si", "\nsi-data\n#S  98  Cf\ncf-data\n#S  54  Xe\nxe-data\n"},  // a header in the middle of a line
      {"N", "not found"},                                             // "#", "#", "S" is no header
      {"Cf", "\ncf-data\n#S  54  Xe\nxe-data\n"},                     // the end marker itself is found
      {"Xe", "not found"},                                            // records after Cf are never found
      {"C", "not found"},                                             // Cf is not carbon
  };
  for (const Case& c : cases) EXPECT_EQ(Search(table, c.symbol), c.rest) << c.symbol;
}

TEST(RecordHeaders, EndAtTheEndOfTheTextWithoutLooping) {
  const char* texts[] = {"", "#", "#S", "#S  1", "#S  1  ", "no headers at all", "#S  1  Ge\n#S  2  Ga"};
  for (const char* text : texts) EXPECT_EQ(Search(text, "As"), "not found") << text;
  EXPECT_EQ(ScanRecordHeaders("#S  1  H\n#S  2").headers.size(), 1u) << "a header cut short is none";
  // A one-letter symbol at the very end of the text matches.
  EXPECT_EQ(Search("#S  1  H", "H"), "");
  // The four skipped characters may be line ends; the symbol field follows white space.
  EXPECT_EQ(Search("#S\n\n\n\n\n  Ga!", "Ga"), "!");
}

// Values kept under more keys than the lock-free slots hold are each found
// under their own key (keys alike in length and first and last bytes too),
// and the first value kept under a key stays.
TEST(KeptValues, FindsEveryValueUnderItsOwnKey) {
  KeptValues<std::unique_ptr<int>> kept;
  for (int i = 0; i < 40; ++i) kept.Keep("key" + std::to_string(i), std::make_unique<int>(i));
  for (int i = 0; i < 40; ++i) {
    const int* value = kept.Find("key" + std::to_string(i));
    ASSERT_TRUE(value) << i;
    EXPECT_EQ(*value, i);
  }
  EXPECT_EQ(kept.Find("key40"), nullptr);
  EXPECT_EQ(*kept.Keep("key3", std::make_unique<int>(99)), 3);
}

TEST(DataFiles, ALargeTableIsReadAsFarAsTheRecordSearchNeeds) {
  // 40 records of about 8 KiB (fields Ab, Ac, ...), mapped; with a Cf record at the end and without.
  std::string records;
  for (int z = 1; z <= 40; ++z) {
    records += "#S " + std::to_string(z) + "  ";
    records += static_cast<char>('A' + z / 26);
    records += static_cast<char>('a' + z % 26);
    for (int row = 0; row < 900; ++row) records += "\n1000 1 2";
    records += '\n';
  }
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "xrdcalc-large-table";
  std::filesystem::create_directories(directory);
  for (const std::string end : {"#S 98  Cf\n1 2 3\n", ""}) {
    const std::string table = records + end;
    std::ofstream(directory / "f1f2.dat", std::ios::binary) << table;
    const RecordHeaders all = ScanRecordHeaders(table);
    for (const char* symbol : {"Ad", "Zz"}) {  // the third record; none
      const DataFiles files(directory.string());
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
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace xrd
