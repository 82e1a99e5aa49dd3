// The data directory Base/ beside the executable, the data files one
// evaluation reads from it (each loaded at most once, and what is parsed
// from it kept with it), the chemical-symbol match rule, and the element
// record search shared by the form-factor and anomalous-factor tables.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/kept_values.hpp"
#include "runtime/text_file.hpp"
#include "runtime/text_scanner.hpp"

namespace xrd {

// The data directory: the running executable's directory (symlinks
// resolved) followed by "/Base".
std::string DataDirectory();

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

// The record headers of a table as the element record search meets them
// from the start of the text: "#S" wherever it stands (in "#", "#", "S" the
// second "#" starts nothing), four characters of any kind, white space and
// a two-character symbol field. Each header's field and the position just
// after it, up to and including the first whose field is "Cf".
struct RecordHeader {
  char field[2] = {'\0', '\0'};
  std::size_t after_field = 0;
};
struct RecordHeaders {
  std::vector<RecordHeader> headers;
  bool ends_with_end_record = false;  // the last header is the Cf record
};

// One data file under the text-mode rules, loaded once. What readers parse
// from it can be kept with it (Memo), so that it is parsed once too.
class DataFile {
 public:
  DataFile(std::string path, TextFileContents contents) : path_(std::move(path)), contents_(std::move(contents)) {}

  const std::string& path() const { return path_; }
  std::string_view text() const { return contents_.text(); }
  const FileIdentity& identity() const { return contents_.identity(); }

  // What the element record search for `symbol` needs of the table: the
  // headers from the start through the element's record and the header
  // after it (all of them, up to the Cf record, when there is no such
  // record), and in `text` a view of the text that holds them. On a mapped
  // table no more of the file is read than that, and ends_with_end_record
  // then tells whether a Cf record follows the element's, read from the
  // end of the file.
  RecordHeaders HeadersThrough(ChemicalSymbol symbol, std::string_view& text) const;

  // The value kept under `key`, made by `make` on first use. A `make` that
  // throws keeps nothing. Safe to call from several threads.
  template <class T, class Make>
  const T& Memo(std::string_view key, Make make) const {
    if (const void* found = memo_.Find(key)) return *static_cast<const T*>(found);
    // Made without a lock, so that `make` may itself use Memo; where two
    // threads make the same value, the first one kept wins.
    return *static_cast<const T*>(memo_.Keep(key, std::make_shared<const T>(make())));
  }

 private:
  // Scans the next record header into searched_, or marks the search done.
  void ScanNextHeader() const;

  std::string path_;
  TextFileContents contents_;
  mutable KeptValues<std::shared_ptr<const void>> memo_;
  // The record headers met so far by searches on a mapped table.
  mutable std::mutex search_mutex_;
  mutable RecordHeaders searched_;
  mutable std::size_t search_position_ = 0;
  mutable bool search_done_ = false;
};

// The data files of one data directory, each loaded on first use and then
// kept. Safe to share between threads.
class DataFiles {
 public:
  // How files are held: large ones mapped (a run of the program: only what
  // is used is touched), or all of them copied into memory (a calculator
  // that lives on: later changes to the files cannot reach it).
  enum class Loading { MapLargeFiles, Copy };

  explicit DataFiles(std::string directory, Loading loading = Loading::MapLargeFiles);

  const std::string& directory() const { return directory_; }
  Loading loading() const { return loading_; }

  // The file `name`. Throws Error naming the path and the reason when it
  // cannot be used (missing, unreadable, not a regular file, a name that
  // would leave the directory), and says so when the directory itself is
  // the problem.
  const DataFile& Get(std::string_view name) const;

  // As Get, but a file that does not exist gives nullptr.
  const DataFile* GetIfPresent(std::string_view name) const;

  // The names in the directory that end in `suffix`, sorted.
  std::vector<std::string> NamesEndingIn(std::string_view suffix) const;

  // Whether a file loaded so far has changed in place or shrunk since, so
  // that what was read of it may mix two states of it.
  bool ChangedSinceLoaded() const;

 private:
  const DataFile* Load(std::string_view name, bool missing_is_error) const;
  std::string DirectoryProblem() const;

  std::string directory_;
  Loading loading_;
  mutable std::mutex load_mutex_;  // one file loaded at a time
  mutable KeptValues<std::unique_ptr<DataFile>> files_;
};

// The data files that readers on this thread use: the ones a scope has
// set, else a set of this thread's own on DataDirectory().
const DataFiles& CurrentDataFiles();

// Makes `files` this thread's data files while the scope lives.
class DataFilesScope {
 public:
  explicit DataFilesScope(const DataFiles& files);
  ~DataFilesScope();
  DataFilesScope(const DataFilesScope&) = delete;
  DataFilesScope& operator=(const DataFilesScope&) = delete;

 private:
  const DataFiles* previous_;
};

// How an element record search ended.
enum class RecordSearch {
  Found,       // the element's record
  EndRecord,   // reached the record whose field is "Cf" (Cf not sought)
  EndOfText,   // neither: the table is cut short
};

RecordHeaders ScanRecordHeaders(std::string_view text);

// The element record search on a table's headers: the first header whose
// field matches `symbol` (Found; `after_field` is the position just after
// the field), else the Cf record (EndRecord), else EndOfText. The match
// test comes first, so Cf itself is found.
RecordSearch SearchRecordHeaders(const RecordHeaders& headers, ChemicalSymbol symbol, std::size_t& after_field);

// The headers of a data file's table, scanned once per loaded file.
const RecordHeaders& HeadersOf(const DataFile& table);

}  // namespace xrd
