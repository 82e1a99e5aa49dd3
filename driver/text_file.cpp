// Whole-file reading with one system read or one mapping, and atomic
// text-mode writing.
#include "driver/text_file.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "driver/error.hpp"

namespace xrd {

namespace {

constexpr char kControlZ = 26;

// Below this size a file costs less to read than to map: mapping, its page
// faults and unmapping outweigh copying a few pages.
constexpr std::size_t kSmallestMappedFile = 128 * 1024;

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
bool ReadAll(int fd, const struct stat& info, std::string& bytes, std::string* problem) {
  std::size_t capacity = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 4096;
  bytes.resize(capacity);
  std::size_t used = 0;
  for (;;) {
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

std::size_t ApplyTextModeReading(char* bytes, std::size_t size) {
  const std::size_t length = LengthBeforeControlZ(bytes, size);
  char* cr = static_cast<char*>(std::memchr(bytes, '\r', length));
  return cr ? DropCarriageReturns(bytes, length, cr) : length;
}

void ApplyTextModeReading(std::string& bytes) { bytes.resize(ApplyTextModeReading(bytes.data(), bytes.size())); }

std::optional<std::string> LoadTextFile(const std::string& path, std::string* problem) {
  int fd = -1;
  struct stat info {};
  if (!OpenForReading(path, false, fd, info, problem)) return std::nullopt;
  std::string bytes;
  bool ok = ReadAll(fd, info, bytes, problem);
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
    buffer_ = std::move(other.buffer_);
    data_ = other.data_;
    size_ = other.size_;
    other.mapping_ = nullptr;
    other.mapping_length_ = 0;
    other.data_ = "";
    other.size_ = 0;
  }
  return *this;
}

void TextFileContents::Release() noexcept {
  if (mapping_) munmap(mapping_, mapping_length_);
  mapping_ = nullptr;
  mapping_length_ = 0;
  buffer_.reset();
  data_ = "";
  size_ = 0;
}

std::optional<TextFileContents> MapTextFile(const std::string& path, std::string* problem) {
  int fd = -1;
  struct stat info {};
  if (!OpenForReading(path, true, fd, info, problem)) return std::nullopt;
  const std::size_t file_size = static_cast<std::size_t>(info.st_size);
  TextFileContents contents;
  if (file_size >= kSmallestMappedFile) {
    void* mapping = mmap(nullptr, file_size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapping != MAP_FAILED) {
      close(fd);
      contents.mapping_ = mapping;
      contents.mapping_length_ = file_size;
      char* bytes = static_cast<char*>(mapping);
      std::size_t length = LengthBeforeControlZ(bytes, file_size);
      char* cr = static_cast<char*>(std::memchr(bytes, '\r', length));
      // Only now do pages get copies of their own, from the first CR on.
      if (cr && mprotect(mapping, file_size, PROT_READ | PROT_WRITE) != 0) {  // then a copy
        std::unique_ptr<char[]> copy(new char[length]);
        std::memcpy(copy.get(), bytes, length);
        cr = copy.get() + (cr - bytes);
        bytes = copy.get();
        contents.Release();
        contents.buffer_ = std::move(copy);
      }
      if (cr) length = DropCarriageReturns(bytes, length, cr);
      contents.data_ = bytes;
      contents.size_ = length;
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

std::string ToTextModeBytes(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 8 + 2);
  for (char c : text) {
    if (c == '\n') bytes.push_back('\r');
    bytes.push_back(c);
  }
  return bytes;
}

void WriteTextFileAtomically(const std::string& path, std::string_view text) {
  const std::string bytes = ToTextModeBytes(text);
  std::string temp = path + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    throw Error("cannot create " + path + " (temporary file " + temp + "): " + std::strerror(errno));
  }
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  std::size_t written = 0;
  int error = 0;
  while (written < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(temp.c_str());
    throw Error("cannot write " + path + ": " + std::strerror(error));
  }
}

}  // namespace xrd
