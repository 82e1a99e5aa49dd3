// The executable's directory from /proc/self/exe, AT_EXECFN or argv[0].
#include "runtime/executable_location.hpp"

#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "runtime/printable.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

constexpr int kMostLinksFollowed = 40;
constexpr std::size_t kLongestLink = 1 << 16;

// The target of the symlink `path`, however long; nothing where it is no
// link or cannot be read (`error` then holds errno).
std::optional<std::string> ReadLink(const std::string& path, int& error) {
  for (std::size_t size = 256; size <= kLongestLink; size *= 4) {
    std::string target(size, '\0');
    const ssize_t length = readlink(path.c_str(), target.data(), size);
    if (length < 0) {
      error = errno;
      return std::nullopt;
    }
    if (static_cast<std::size_t>(length) < size) {  // not cut short
      target.resize(static_cast<std::size_t>(length));
      return target;
    }
  }
  error = ENAMETOOLONG;
  return std::nullopt;
}

std::string DirectoryPart(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// `path` with its own symlinks followed to the file itself (those of its
// directories are left to the kernel, which follows them when the data
// directory is opened).
std::optional<std::string> FollowLinks(std::string path) {
  for (int followed = 0; followed < kMostLinksFollowed; ++followed) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return std::nullopt;
    if (!S_ISLNK(info.st_mode)) return path;
    int error = 0;
    const std::optional<std::string> target = ReadLink(path, error);
    if (!target || target->empty()) return std::nullopt;
    path = target->front() == '/' ? *target : DirectoryPart(path) + "/" + *target;
  }
  return std::nullopt;
}

// The executable named by a path that holds a slash, or nothing.
std::optional<std::string> ExecutableAt(const std::string& path) {
  if (path.empty() || !IsExecutableFile(path)) return std::nullopt;
  return FollowLinks(path);
}

// argv[0] without a slash, looked for in each directory of PATH in turn (an
// empty entry is the working directory), as the shell found it.
std::optional<std::string> ExecutableInSearchPath(const std::string& name, const std::string& search_path) {
  std::size_t start = 0;
  while (start <= search_path.size()) {
    std::size_t end = search_path.find(':', start);
    if (end == std::string::npos) end = search_path.size();
    const std::string directory = search_path.substr(start, end - start);
    if (std::optional<std::string> found = ExecutableAt((directory.empty() ? "." : directory) + "/" + name)) {
      return found;
    }
    start = end + 1;
  }
  return std::nullopt;
}

}  // namespace

ExecutableClues CluesOfThisProcess(const char* argv0) {
  ExecutableClues clues;
  if (const char* exec_path = reinterpret_cast<const char*>(getauxval(AT_EXECFN))) clues.exec_path = exec_path;
  if (argv0) clues.argv0 = argv0;
  if (const char* search_path = std::getenv("PATH")) clues.search_path = search_path;
  return clues;
}

std::string ExecutableDirectory(const ExecutableClues& clues) {
  int error = 0;
  if (std::optional<std::string> exe = ReadLink(clues.proc_link, error)) return DirectoryPart(*exe);
  std::string tried = clues.proc_link + ": " + std::strerror(error);
  if (std::optional<std::string> exe = ExecutableAt(clues.exec_path)) return DirectoryPart(*exe);
  tried += "; the path the program was started by: " + (clues.exec_path.empty() ? "unknown" : Quote(clues.exec_path));
  const bool has_slash = clues.argv0.find('/') != std::string::npos;
  std::optional<std::string> exe;
  if (!clues.argv0.empty()) {
    exe = has_slash ? ExecutableAt(clues.argv0) : ExecutableInSearchPath(clues.argv0, clues.search_path);
  }
  if (exe) return DirectoryPart(*exe);
  tried += "; its name " + Quote(clues.argv0) + (has_slash ? "" : " in PATH");
  throw Error("cannot find the program's own executable, beside which its data directory Base lies (" + tried +
              ")");
}

std::string DataDirectoryBeside(const std::string& executable_directory) {
  std::string path = executable_directory;
  if (path.back() != '/') path += '/';
  return path + "Base";
}

}  // namespace xrd
