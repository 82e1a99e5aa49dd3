// The data files of one data directory, each loaded once on first use and
// kept with what readers parse from it; and whether any of them has changed
// since it was loaded.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/kept_values.hpp"
#include "runtime/text_file_contents.hpp"

namespace xrd {

// One data file under the text-mode rules, loaded once. What readers parse
// from it can be kept with it (Memo), so that it is parsed once too.
class DataFile {
 public:
  DataFile(std::string path, TextFileContents contents) : path_(std::move(path)), contents_(std::move(contents)) {}

  const std::string& path() const { return path_; }
  std::string_view text() const { return contents_.text(); }
  const TextFileContents& contents() const { return contents_; }

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
  std::string path_;
  TextFileContents contents_;
  mutable KeptValues<std::shared_ptr<const void>> memo_;
};

// The data files of one directory, each loaded on first use and then kept.
// Safe to share between threads.
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
  // cannot be used (missing, unreadable, not a regular file, changing
  // while read, a name that would leave the directory), and says so when
  // the directory itself is the problem.
  const DataFile& Get(std::string_view name) const;

  // As Get, but a file that does not exist gives nullptr.
  const DataFile* GetIfPresent(std::string_view name) const;

  // The names in the directory that end in `suffix`, sorted.
  std::vector<std::string> NamesEndingIn(std::string_view suffix) const;

  // Whether a file loaded so far has changed in place or shrunk under its
  // mapping since, so that what was read of it may mix two states of it.
  bool ChangedSinceLoaded() const;

  // Whether the file now at the path of a file loaded so far is another
  // one or another state of it (changed, replaced, removed): what was
  // loaded is then out of date.
  bool OutOfDate() const;

 private:
  const DataFile* Load(std::string_view name, bool missing_is_error) const;
  std::string DirectoryProblem() const;

  std::string directory_;
  Loading loading_;
  mutable std::mutex load_mutex_;  // one file loaded at a time
  mutable KeptValues<std::unique_ptr<DataFile>> files_;
};

}  // namespace xrd
