// Atomic text-mode writing: an unnamed file linked into place, or a
// temporary name renamed into place.
#include "runtime/atomic_write.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "runtime/text_mode.hpp"
#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

// Writes all of `bytes` to `fd`; 0 or the error number.
int WriteAll(int fd, const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    written += static_cast<std::size_t>(n);
  }
  return 0;
}

std::string DirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file is written without a name and gets one only when it is
// complete: the old file is removed and the new one linked in its place;
// between the removal and the link there is simply no file. Gives false,
// with nothing changed, where the file system or a missing /proc cannot do
// this.
bool WriteThroughUnnamedFile(const std::string& path, const std::string& bytes) {
  const int fd = open(DirectoryOf(path).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  int error = WriteAll(fd, bytes);
  if (error == 0) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        error = errno;
        break;
      }
      if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        error = 0;
        break;
      }
      error = errno;
      if (error == ENOENT && attempt == 0) {  // no /proc: the named way instead
        close(fd);
        return false;
      }
      if (error != EEXIST) break;  // EEXIST: another writer came between
    }
  }
  if (close(fd) != 0 && error == 0) error = errno;
  if (error != 0) throw Error("cannot write " + path + ": " + std::strerror(error));
  return true;
}

// Blocks the signals that end a run from the keyboard or a supervisor
// while a named temporary file exists, so that none is left behind.
class TerminationSignalsBlocked {
 public:
  TerminationSignalsBlocked() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&blocked, s);
    sigprocmask(SIG_BLOCK, &blocked, &previous_);
  }
  ~TerminationSignalsBlocked() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
  TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;

 private:
  sigset_t previous_;
};

void WriteThroughTemporaryName(const std::string& path, const std::string& bytes) {
  TerminationSignalsBlocked blocked;
  std::string temp = path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    throw Error("cannot create " + path + " (temporary file " + temp + "): " + std::strerror(errno));
  }
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  int error = WriteAll(fd, bytes);
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(temp.c_str());
    throw Error("cannot write " + path + ": " + std::strerror(error));
  }
}

}  // namespace

void WriteTextFileAtomically(const std::string& path, std::string_view text) {
  const std::string bytes = ToTextModeBytes(text);
  if (!WriteThroughUnnamedFile(path, bytes)) WriteThroughTemporaryName(path, bytes);
}

}  // namespace xrd
