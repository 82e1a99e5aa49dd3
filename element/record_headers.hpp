// The record headers of the two scattering-factor tables, f0_xop.dat and
// f1f2.dat, and the element record search on them: "#S" wherever it stands
// (in "#", "#", "S" the second "#" starts nothing), four characters of any
// kind, white space and a two-character symbol field; the record whose
// field is "Cf" ends the table.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "element/chemical_symbol.hpp"
#include "runtime/data_files.hpp"

namespace xrd {

// Each header's field and the position just after it, up to and including
// the first whose field is "Cf".
struct RecordHeader {
  char field[2] = {'\0', '\0'};
  std::size_t after_field = 0;
};
struct RecordHeaders {
  std::vector<RecordHeader> headers;
  bool ends_with_end_record = false;  // the last header is the Cf record
};

// How an element record search ended.
enum class RecordSearch {
  Found,      // the element's record
  EndRecord,  // reached the record whose field is "Cf" (Cf not sought)
  EndOfText,  // neither: the table is cut short
};

// What the readers say when a search does not end well.
inline constexpr std::string_view kNoRecord = "no record for the element (searched up to the Cf record)";
inline constexpr std::string_view kCutShortBeforeRecord =
    "no record for the element, and no Cf end record: the table is cut short";
inline constexpr std::string_view kCutShortAfterRecord =
    "no Cf end record after the element's record: the table is cut short";

// The headers of a table's text, from its start.
RecordHeaders ScanRecordHeaders(std::string_view text);

// The first header whose field matches `symbol` (Found; `after_field` is
// the position just after the field), else the Cf record (EndRecord), else
// EndOfText. The match test comes first, so Cf itself is found.
RecordSearch SearchRecordHeaders(const RecordHeaders& headers, ChemicalSymbol symbol, std::size_t& after_field);

// The headers of a loaded table, scanned once.
const RecordHeaders& HeadersOf(const DataFile& table);

// What the search for `symbol` needs of a loaded table: the headers from
// the start through the element's record and the header after it (all of
// them, up to the Cf record, when there is no such record), and in `text`
// a view of the text that holds them. On a mapped table no more of the
// file is read than that, and ends_with_end_record then tells whether a Cf
// record follows the element's, read from the end of the file.
RecordHeaders HeadersThrough(const DataFile& table, ChemicalSymbol symbol, std::string_view& text);

}  // namespace xrd
