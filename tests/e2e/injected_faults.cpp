// Wrappers of stat, fstat and open, linked into a test build of the program
// with -Wl,--wrap, so that the end-to-end tests can bring about at will what
// a file system does only now and then. Each fault is switched on by an
// environment variable; without them the test build is the program itself.
//   XRDCALC_CHANGING=NAME              every stat of a path ending in NAME
//                                      reports another modification time than
//                                      the one before: the file is rewritten
//                                      between any two looks at it by name
//                                      (XRDCALC_CHANGING_LOOKS=N: the first N
//                                      looks only);
//   XRDCALC_CHANGING_WHILE_READ=NAME   the same for every fstat of an open
//                                      file so named: it changes during reads;
//   XRDCALC_NO_TMPFILE=1               open with O_TMPFILE fails, as on a file
//                                      system without unnamed files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int __real_stat(const char* path, struct stat* info);
extern "C" int __real_fstat(int fd, struct stat* info);
extern "C" int __real_open(const char* path, int flags, ...);

namespace {

bool Names(const char* variable, std::string_view path) {
  const char* name = std::getenv(variable);
  return name && *name && path.ends_with(name);
}

std::string PathOf(int fd) {
  std::string path(4096, '\0');
  const ssize_t length = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path.data(), path.size());
  path.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return path;
}

// Another modification time at every look: one more second back, never in
// the future, which a reader would wait on as a write still going on.
void MoveOn(struct stat* info) {
  static long looks = 0;
  info->st_mtim.tv_sec -= ++looks;
}

}  // namespace

extern "C" int __wrap_stat(const char* path, struct stat* info) {
  const int result = __real_stat(path, info);
  static long looks = 0;
  const char* most_looks = std::getenv("XRDCALC_CHANGING_LOOKS");
  if (result == 0 && Names("XRDCALC_CHANGING", path) && (!most_looks || looks++ < std::atol(most_looks))) {
    MoveOn(info);
  }
  return result;
}

extern "C" int __wrap_fstat(int fd, struct stat* info) {
  const int result = __real_fstat(fd, info);
  if (result == 0 && std::getenv("XRDCALC_CHANGING_WHILE_READ") && Names("XRDCALC_CHANGING_WHILE_READ", PathOf(fd))) {
    MoveOn(info);
  }
  return result;
}

extern "C" int __wrap_open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if ((flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
  }
  if ((flags & O_TMPFILE) == O_TMPFILE && std::getenv("XRDCALC_NO_TMPFILE")) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return __real_open(path, flags, mode);
}
