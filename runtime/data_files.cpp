// DataFiles: loading by name, the messages of files that cannot be used,
// and the change checks.
#include "runtime/data_files.hpp"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "runtime/printable.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

bool LeavesDataDirectory(std::string_view name) {
  return name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos;
}

// Whether the file now at `path` is not the state `identity` describes.
bool NoLongerAt(const std::string& path, const FileIdentity& identity) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return true;
  if (info.st_dev != identity.device || info.st_ino != identity.inode) return true;
  return ChangedFrom(identity, IdentityOf(info));
}

}  // namespace

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
  bool changed = false;
  files_.ForEach([&](const std::string&, const DataFile& file) {
    changed = changed || file.contents().shrank() || FileChangedSince(file.path(), file.contents().identity());
  });
  return changed;
}

bool DataFiles::OutOfDate() const {
  bool out_of_date = false;
  files_.ForEach([&](const std::string&, const DataFile& file) {
    out_of_date = out_of_date || NoLongerAt(file.path(), file.contents().identity());
  });
  return out_of_date;
}

}  // namespace xrd
