// Record headers: scanned whole, or step by step on a mapped table as far
// as a search needs, with the Cf record sought from the end of the file.
#include "element/record_headers.hpp"

#include <cstring>
#include <memory>
#include <mutex>

#include "runtime/text_scanner.hpp"

namespace xrd {

namespace {

// Reads the header that starts at the scanner's '#' (the "#" already
// taken): false where the text ends first.
bool ReadHeaderAfterHash(TextScanner& scanner, RecordHeader& header, bool& is_header) {
  char c = '\0';
  if (!scanner.ReadChar(c)) return false;
  is_header = c == 'S';
  if (!is_header) return true;  // this character is not examined again
  if (scanner.Scan("%*4c %2c", header.field) != 1) return false;
  header.after_field = scanner.position();
  return true;
}

bool IsEndRecord(const RecordHeader& header) { return header.field[0] == 'C' && header.field[1] == 'f'; }

bool Matches(const RecordHeader& header, ChemicalSymbol symbol) {
  return SymbolMatches(symbol, header.field[0], header.field[1]);
}

// Whether the bytes from `from` on hold a Cf record header, searched from
// their end: only the pages after that header are read.
bool EndRecordAfter(std::string_view bytes, std::size_t from) {
  for (std::size_t end = bytes.size(); end > from;) {
    const void* hash = memrchr(bytes.data() + from, '#', end - from);
    if (!hash) return false;
    end = static_cast<std::size_t>(static_cast<const char*>(hash) - bytes.data());
    TextScanner scanner(bytes.substr(end + 1));
    RecordHeader header;
    bool is_header = false;
    if (ReadHeaderAfterHash(scanner, header, is_header) && is_header && IsEndRecord(header)) return true;
  }
  return false;
}

// The headers of a mapped table met so far by searches, read on as far as
// each search needs.
class HeaderSearch {
 public:
  RecordHeaders Through(const TextFileContents& contents, ChemicalSymbol symbol, std::string_view& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t match = 0;
    for (;;) {
      while (match < searched_.headers.size() && !Matches(searched_.headers[match], symbol)) ++match;
      if (done_ || match + 1 < searched_.headers.size()) break;
      ScanNextHeader(contents);
    }
    RecordHeaders found = searched_;
    if (done_) {
      text = contents.text();
    } else {
      text = contents.TextPrefix(position_);
      found.ends_with_end_record = EndRecordAfter(contents.mapped_bytes(), searched_.headers[match].after_field);
    }
    return found;
  }

 private:
  // Scans the next record header into searched_, or marks the search done.
  void ScanNextHeader(const TextFileContents& contents) {
    for (std::size_t wanted = position_ + 1;;) {
      const std::string_view text = contents.TextPrefix(wanted);
      const bool whole = contents.whole();
      TextScanner scanner(text);
      scanner.Seek(position_);
      RecordHeader header;
      bool is_header = false;
      while (scanner.SkipPast('#') && ReadHeaderAfterHash(scanner, header, is_header)) {
        position_ = scanner.position();
        if (!is_header) continue;
        searched_.headers.push_back(header);
        done_ = searched_.ends_with_end_record = IsEndRecord(header);
        return;
      }
      if (whole) break;
      wanted = text.size() + 1;  // the text goes on past what was read of it: read on
    }
    done_ = true;
  }

  std::mutex mutex_;
  RecordHeaders searched_;
  std::size_t position_ = 0;
  bool done_ = false;
};

}  // namespace

RecordHeaders ScanRecordHeaders(std::string_view text) {
  RecordHeaders result;
  TextScanner scanner(text);
  RecordHeader header;
  bool is_header = false;
  while (scanner.SkipPast('#') && ReadHeaderAfterHash(scanner, header, is_header)) {
    if (!is_header) continue;
    result.headers.push_back(header);
    if (IsEndRecord(header)) {
      result.ends_with_end_record = true;
      break;
    }
  }
  return result;
}

RecordSearch SearchRecordHeaders(const RecordHeaders& headers, ChemicalSymbol symbol, std::size_t& after_field) {
  for (const RecordHeader& header : headers.headers) {
    if (Matches(header, symbol)) {
      after_field = header.after_field;
      return RecordSearch::Found;
    }
  }
  return headers.ends_with_end_record ? RecordSearch::EndRecord : RecordSearch::EndOfText;
}

const RecordHeaders& HeadersOf(const DataFile& table) {
  return table.Memo<RecordHeaders>("record headers", [&] { return ScanRecordHeaders(table.text()); });
}

RecordHeaders HeadersThrough(const DataFile& table, ChemicalSymbol symbol, std::string_view& text) {
  if (table.contents().whole()) {
    text = table.text();
    return HeadersOf(table);
  }
  using Search = std::unique_ptr<HeaderSearch>;
  const Search& search = table.Memo<Search>("record header search", [] { return std::make_unique<HeaderSearch>(); });
  return search->Through(table.contents(), symbol, text);
}

}  // namespace xrd
