// Data-file location and the element record search.
#include "runtime/data_files.hpp"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "xrdcalc/error.hpp"
#include "runtime/text_file.hpp"
#include "runtime/warning.hpp"

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

std::string DataDirectory() {
  std::string path = ExecutableDirectory();
  if (path.back() != '/') path += '/';
  path += "Base";
  return path;
}

DataFiles::DataFiles(std::string directory, Loading loading) : directory_(std::move(directory)), loading_(loading) {}

const DataFile& DataFiles::Get(std::string_view name) const { return *Load(name, true); }

const DataFile* DataFiles::GetIfPresent(std::string_view name) const { return Load(name, false); }

const DataFile* DataFiles::Load(std::string_view name, bool missing_is_error) const {
  if (const DataFile* found = files_.Find(name)) return found;
  std::lock_guard<std::mutex> lock(load_mutex_);
  if (const DataFile* found = files_.Find(name)) return found;
  if (LeavesDataDirectory(name)) {
    throw Error("data file name " + Quote(name) + " holds '/', '\\' or a NUL byte; not opened");
  }
  std::string path = directory_ + "/";
  path.append(name);
  std::string reason;
  std::optional<TextFileContents> contents = MapTextFile(path, &reason, loading_ == Loading::MapLargeFiles);
  if (!contents) {
    const std::string directory_problem = DirectoryProblem();
    if (!directory_problem.empty()) throw Error(directory_problem);
    const bool absent = reason == std::strerror(ENOENT) || reason == std::strerror(ENAMETOOLONG);
    if (!missing_is_error && absent) return nullptr;
    throw Error("cannot open " + Printable(path) + ": " + reason);
  }
  return files_.Keep(name, std::make_unique<DataFile>(std::move(path), std::move(*contents)));
}

std::string DataFiles::DirectoryProblem() const {
  struct stat info {};
  if (stat(directory_.c_str(), &info) != 0) {
    return "data directory " + Printable(directory_) + ": " + std::strerror(errno);
  }
  if (!S_ISDIR(info.st_mode)) return "data directory " + Printable(directory_) + ": " + std::strerror(ENOTDIR);
  DIR* listing = opendir(directory_.c_str());
  if (!listing) return "data directory " + Printable(directory_) + ": " + std::strerror(errno);
  closedir(listing);
  return {};
}

std::vector<std::string> DataFiles::NamesEndingIn(std::string_view suffix) const {
  std::vector<std::string> names;
  DIR* listing = opendir(directory_.c_str());
  if (!listing) return names;
  while (const dirent* entry = readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix) names.emplace_back(name);
  }
  closedir(listing);
  std::sort(names.begin(), names.end());
  return names;
}

bool DataFiles::ChangedSinceLoaded() const {
  if (MappedFileShrank()) return true;
  bool changed = false;
  files_.ForEach([&](const std::string&, const DataFile& file) {
    changed = changed || FileChangedSince(file.path(), file.identity());
  });
  return changed;
}

namespace {

thread_local const DataFiles* current_data_files = nullptr;

}  // namespace

const DataFiles& CurrentDataFiles() {
  if (current_data_files) return *current_data_files;
  thread_local const DataFiles own(DataDirectory());
  return own;
}

DataFilesScope::DataFilesScope(const DataFiles& files) : previous_(current_data_files) {
  current_data_files = &files;
}

DataFilesScope::~DataFilesScope() { current_data_files = previous_; }

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
    if (SymbolMatches(symbol, header.field[0], header.field[1])) {
      after_field = header.after_field;
      return RecordSearch::Found;
    }
  }
  return headers.ends_with_end_record ? RecordSearch::EndRecord : RecordSearch::EndOfText;
}

namespace {


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

}  // namespace

void DataFile::ScanNextHeader() const {
  for (std::size_t wanted = search_position_ + 1;;) {
    const std::string_view text = contents_.TextPrefix(wanted);
    const bool whole = contents_.whole();
    TextScanner scanner(text);
    scanner.Seek(search_position_);
    RecordHeader header;
    bool is_header = false;
    while (scanner.SkipPast('#') && ReadHeaderAfterHash(scanner, header, is_header)) {
      search_position_ = scanner.position();
      if (!is_header) continue;
      searched_.headers.push_back(header);
      search_done_ = searched_.ends_with_end_record = IsEndRecord(header);
      return;
    }
    if (whole) break;
    wanted = text.size() + 1;  // the text goes on past what was read of it: read on
  }
  search_done_ = true;
}

RecordHeaders DataFile::HeadersThrough(ChemicalSymbol symbol, std::string_view& text) const {
  if (contents_.whole()) {
    text = contents_.text();
    return HeadersOf(*this);
  }
  std::lock_guard<std::mutex> lock(search_mutex_);
  std::size_t match = 0;
  auto matches = [&](const RecordHeader& header) { return SymbolMatches(symbol, header.field[0], header.field[1]); };
  for (;;) {
    while (match < searched_.headers.size() && !matches(searched_.headers[match])) ++match;
    if (search_done_ || match + 1 < searched_.headers.size()) break;
    ScanNextHeader();
  }
  RecordHeaders found = searched_;
  if (search_done_) {
    text = contents_.text();
  } else {
    text = contents_.TextPrefix(search_position_);
    found.ends_with_end_record = EndRecordAfter(contents_.mapped_bytes(), searched_.headers[match].after_field);
  }
  return found;
}

const RecordHeaders& HeadersOf(const DataFile& table) {
  return table.Memo<RecordHeaders>("record headers", [&] { return ScanRecordHeaders(table.text()); });
}

}  // namespace xrd
