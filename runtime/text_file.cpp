// Whole-file reading with one system read or one mapping, and atomic
// text-mode writing.
#include "runtime/text_file.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>

#include "xrdcalc/error.hpp"

namespace xrd {

namespace {

constexpr char kControlZ = 26;

// Below this size a file costs less to read than to map: mapping, its page
// faults and unmapping outweigh copying a few pages.
constexpr std::size_t kSmallestMappedFile = 16 * 1024;

// A mapping's reading rules are applied in steps of at least this much.
constexpr std::size_t kCheckedStep = 64 * 1024;

// Mapped files guarded against shrinking. Reading a page past the end of a
// file that shrank raises SIGBUS; the handler puts a page of zeros in its
// place, notes that a file shrank, and lets the read go on, so that the
// reader finishes and the run can tell that what it read is not whole.
constexpr int kGuardSlots = 64;
std::atomic<std::uintptr_t> guard_begin[kGuardSlots];
std::atomic<std::uintptr_t> guard_end[kGuardSlots];
std::atomic<bool> mapped_file_shrank{false};
std::uintptr_t page_size = 4096;

void OnBusError(int signal_number, siginfo_t* info, void*) {
  const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (int i = 0; i < kGuardSlots; ++i) {
    if (address >= guard_begin[i].load() && address < guard_end[i].load()) {
      void* page = reinterpret_cast<void*>(address & ~(page_size - 1));
      if (mmap(page, page_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
        mapped_file_shrank.store(true);
        return;
      }
      break;
    }
  }
  // Not a guarded mapping: the fault is the program's own; let it kill.
  std::signal(signal_number, SIG_DFL);
}

void InstallBusErrorHandler() {
  static const bool installed = [] {
    page_size = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGBUS, &action, nullptr) == 0;
  }();
  (void)installed;
}

// Guards [begin, begin + length); false when every slot is taken.
bool GuardMapping(void* begin, std::size_t length) {
  InstallBusErrorHandler();
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(begin);
  for (int i = 0; i < kGuardSlots; ++i) {
    std::uintptr_t expected = 0;
    if (guard_begin[i].compare_exchange_strong(expected, start)) {
      guard_end[i].store(start + length);
      return true;
    }
  }
  return false;
}

void UnguardMapping(void* begin) {
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(begin);
  for (int i = 0; i < kGuardSlots; ++i) {
    if (guard_begin[i].load() == start) {
      guard_end[i].store(0);
      guard_begin[i].store(0);
      return;
    }
  }
}

FileIdentity IdentityOf(const struct stat& info) {
  FileIdentity identity;
  identity.device = info.st_dev;
  identity.inode = info.st_ino;
  identity.size = info.st_size;
  identity.modified = info.st_mtim;
  identity.changed = info.st_ctim;
  return identity;
}

bool SameTime(const FileTime& a, const FileTime& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

// Opens `path` for reading and tells what it is; fails on a directory and,
// with `regular_only`, on anything but a regular file. A regular-only open
// does not block (a pipe nobody writes to) nor take a terminal as the
// controlling one.
bool OpenForReading(const std::string& path, bool regular_only, int& fd, struct stat& info, std::string* problem) {
  if (path.find('\0') != std::string::npos) {
    if (problem) *problem = "the name holds a NUL byte";
    return false;
  }
  fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | (regular_only ? O_NONBLOCK | O_NOCTTY : 0));
  if (fd < 0) {
    if (problem) *problem = std::strerror(errno);
    return false;
  }
  const char* refusal = nullptr;
  if (fstat(fd, &info) != 0) {
    refusal = std::strerror(errno);
  } else if (S_ISDIR(info.st_mode)) {
    refusal = std::strerror(EISDIR);
  } else if (regular_only && !S_ISREG(info.st_mode)) {
    refusal = "not a regular file";
  }
  if (refusal) {
    close(fd);
    if (problem) *problem = refusal;
    return false;
  }
  return true;
}

// Reads everything from an open descriptor; one read for a regular file
// whose size is known, more only when the file grows or is not regular.
bool ReadAll(int fd, const struct stat& info, std::size_t max_bytes, std::string& bytes, std::string* problem) {
  auto too_large = [&] {
    if (problem) *problem = "larger than " + std::to_string(max_bytes) + " bytes; not read";
    return false;
  };
  if (info.st_size > 0 && static_cast<std::size_t>(info.st_size) > max_bytes) return too_large();
  std::size_t capacity = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 4096;
  bytes.resize(capacity);
  std::size_t used = 0;
  for (;;) {
    if (used > max_bytes) return too_large();
    if (used == bytes.size()) bytes.resize(bytes.size() * 2);
    ssize_t got = read(fd, bytes.data() + used, bytes.size() - used);
    if (got < 0) {
      if (errno == EINTR) continue;
      if (problem) *problem = std::strerror(errno);
      return false;
    }
    if (got == 0) break;
    used += static_cast<std::size_t>(got);
  }
  bytes.resize(used);
  return true;
}

// The length of the text before the first control-Z.
std::size_t LengthBeforeControlZ(const char* bytes, std::size_t size) {
  const void* z = std::memchr(bytes, kControlZ, size);
  return z ? static_cast<std::size_t>(static_cast<const char*>(z) - bytes) : size;
}

// Drops the carriage returns of the `length` bytes at `begin`, the first of
// them at `cr`; gives the length left.
std::size_t DropCarriageReturns(char* begin, std::size_t length, char* cr) {
  const char* end = begin + length;
  char* out = cr;
  const char* in = cr;
  while (in < end) {
    ++in;  // drop the carriage return
    const char* next = static_cast<const char*>(std::memchr(in, '\r', static_cast<std::size_t>(end - in)));
    const char* stop = next ? next : end;
    std::memmove(out, in, static_cast<std::size_t>(stop - in));
    out += stop - in;
    in = stop;
  }
  return static_cast<std::size_t>(out - begin);
}

}  // namespace

// Where the text of `size` bytes ends (before the first control-Z), and its
// first carriage return (nullptr for none). Two searches with the C
// library's memchr (vectorised for the machine) take fewer instructions
// than one pass of portable vector code looking for both bytes.
std::size_t TextLength(char* bytes, std::size_t size, char*& cr) {
  const std::size_t length = LengthBeforeControlZ(bytes, size);
  cr = static_cast<char*>(std::memchr(bytes, '\r', length));
  return length;
}

std::size_t ApplyTextModeReading(char* bytes, std::size_t size) {
  char* cr = nullptr;
  const std::size_t length = TextLength(bytes, size, cr);
  return cr ? DropCarriageReturns(bytes, length, cr) : length;
}

void ApplyTextModeReading(std::string& bytes) { bytes.resize(ApplyTextModeReading(bytes.data(), bytes.size())); }

std::optional<std::string> LoadTextFile(const std::string& path, std::string* problem, std::size_t max_bytes) {
  int fd = -1;
  struct stat info {};
  if (!OpenForReading(path, false, fd, info, problem)) return std::nullopt;
  std::string bytes;
  bool ok = ReadAll(fd, info, max_bytes, bytes, problem);
  close(fd);
  if (!ok) return std::nullopt;
  ApplyTextModeReading(bytes);
  return bytes;
}

TextFileContents& TextFileContents::operator=(TextFileContents&& other) noexcept {
  if (this != &other) {
    Release();
    mapping_ = other.mapping_;
    mapping_length_ = other.mapping_length_;
    mutex_ = std::move(other.mutex_);
    checked_ = other.checked_;
    whole_.store(other.whole_.load());
    buffer_ = std::move(other.buffer_);
    data_ = other.data_;
    size_ = other.size_;
    identity_ = other.identity_;
    other.mapping_ = nullptr;
    other.mapping_length_ = 0;
    other.checked_ = 0;
    other.whole_.store(true);
    other.data_ = "";
    other.size_ = 0;
  }
  return *this;
}

void TextFileContents::Release() noexcept {
  if (!mapping_) return;
  munmap(mapping_, mapping_length_);
  UnguardMapping(mapping_);
}

std::string_view TextFileContents::text() const {
  if (!whole_.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> lock(*mutex_);
    ApplyRulesToTheRest();
  }
  return {data_, size_};
}

bool TextFileContents::whole() const { return whole_.load(std::memory_order_acquire); }

std::string_view TextFileContents::mapped_bytes() const {
  return {static_cast<const char*>(mapping_), mapping_ ? mapping_length_ : 0};
}

std::string_view TextFileContents::TextPrefix(std::size_t length) const {
  if (whole_.load(std::memory_order_acquire)) return {data_, size_};
  std::lock_guard<std::mutex> lock(*mutex_);
  const char* bytes = static_cast<const char*>(mapping_);
  while (!whole_.load(std::memory_order_relaxed) && checked_ < length) {
    const std::size_t step = std::min(mapping_length_ - checked_, std::max(length - checked_, kCheckedStep));
    if (std::memchr(bytes + checked_, kControlZ, step) || std::memchr(bytes + checked_, '\r', step)) {
      ApplyRulesToTheRest();  // the text ends early or is not the bytes themselves
    } else if ((checked_ += step) == mapping_length_) {
      size_ = checked_;
      whole_.store(true, std::memory_order_release);
    }
  }
  return {data_, whole_.load(std::memory_order_relaxed) ? size_ : checked_};
}

// Applies the reading rules to the mapping from `checked_` on. Bytes before
// the first carriage return keep their place, so that views of a prefix
// given out before stay valid and unchanged; where the pages cannot be made
// writable the text is a copy and the mapping stays for those views.
void TextFileContents::ApplyRulesToTheRest() const {
  if (whole_.load(std::memory_order_relaxed)) return;
  char* bytes = static_cast<char*>(mapping_);
  char* cr = nullptr;
  std::size_t length = checked_ + TextLength(bytes + checked_, mapping_length_ - checked_, cr);
  if (cr && mprotect(mapping_, mapping_length_, PROT_READ | PROT_WRITE) != 0) {
    buffer_.reset(new char[length]);
    std::memcpy(buffer_.get(), bytes, length);
    cr = buffer_.get() + (cr - bytes);
    bytes = buffer_.get();
  }
  if (cr) length = DropCarriageReturns(bytes, length, cr);
  data_ = bytes;
  size_ = length;
  whole_.store(true, std::memory_order_release);
}

std::optional<TextFileContents> MapTextFile(const std::string& path, std::string* problem, bool allow_mapping) {
  int fd = -1;
  struct stat info {};
  if (!OpenForReading(path, true, fd, info, problem)) return std::nullopt;
  const std::size_t file_size = static_cast<std::size_t>(info.st_size);
  TextFileContents contents;
  contents.identity_ = IdentityOf(info);
  if (allow_mapping && file_size >= kSmallestMappedFile) {
    void* mapping = mmap(nullptr, file_size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapping != MAP_FAILED && !GuardMapping(mapping, file_size)) {
      munmap(mapping, file_size);
      mapping = MAP_FAILED;
    }
    if (mapping != MAP_FAILED) {
      close(fd);
      contents.mapping_ = mapping;
      contents.mapping_length_ = file_size;
      contents.mutex_ = std::make_unique<std::mutex>();
      contents.data_ = static_cast<const char*>(mapping);
      contents.whole_.store(false);
      return contents;
    }
  }
  // A small file (or one that cannot be mapped) costs less to read: one
  // read of its size and one byte more, which tells that it has ended.
  std::size_t capacity = file_size + 1;
  std::unique_ptr<char[]> buffer(new char[capacity]);
  std::size_t used = 0;
  for (;;) {
    if (used == capacity) {  // the file has grown since fstat
      std::unique_ptr<char[]> larger(new char[2 * capacity]);
      std::memcpy(larger.get(), buffer.get(), used);
      buffer = std::move(larger);
      capacity *= 2;
    }
    const std::size_t wanted = capacity - used;
    const ssize_t got = read(fd, buffer.get() + used, wanted);
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      close(fd);
      if (problem) *problem = std::strerror(error);
      return std::nullopt;
    }
    used += static_cast<std::size_t>(got);
    // A file on disk gives less than asked for only at its end; one whose
    // size fstat does not know (those of /proc) ends at a read of nothing.
    if (got == 0 || (file_size > 0 && static_cast<std::size_t>(got) < wanted)) break;
  }
  close(fd);
  contents.size_ = ApplyTextModeReading(buffer.get(), used);
  contents.data_ = buffer.get();
  contents.buffer_ = std::move(buffer);
  return contents;
}

bool FileChangedSince(const std::string& path, const FileIdentity& identity) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  if (info.st_dev != identity.device || info.st_ino != identity.inode) return false;
  return info.st_size != identity.size || !SameTime(info.st_mtim, identity.modified) ||
         !SameTime(info.st_ctim, identity.changed);
}

bool MappedFileShrank() { return mapped_file_shrank.load(); }

std::string ToTextModeBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 8 + 2);
  for (char c : text) {
    if (c == '\n') bytes.push_back('\r');
    bytes.push_back(c);
  }
  return bytes;
}

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

// The file is written without a name (O_TMPFILE) and gets one only when it
// is complete: the old file is removed and the new one linked in its place.
// A run killed at any moment, even by SIGKILL, leaves no temporary file;
// between the removal and the link there is simply no file. Gives false,
// with nothing changed, where the file system cannot do this.
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

// A temporary file beside `path`, renamed into place when complete. Only
// SIGKILL between its creation and the rename can leave it behind.
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
