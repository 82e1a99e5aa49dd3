// Whole-file reading with one system read, and atomic text-mode writing.
#include "driver/text_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "driver/error.hpp"

namespace xrd {

namespace {

constexpr char kControlZ = 26;

// Reads everything from an open descriptor; one read for a regular file
// whose size is known, more only when the file grows or is not regular.
bool ReadAll(int fd, std::string& bytes, std::string* problem) {
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    if (problem) *problem = std::strerror(errno);
    return false;
  }
  if (S_ISDIR(info.st_mode)) {
    if (problem) *problem = std::strerror(EISDIR);
    return false;
  }
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

}  // namespace

void ApplyTextModeReading(std::string& bytes) {
  if (const void* z = std::memchr(bytes.data(), kControlZ, bytes.size())) {
    bytes.resize(static_cast<std::size_t>(static_cast<const char*>(z) - bytes.data()));
  }
  char* begin = bytes.data();
  char* end = begin + bytes.size();
  char* cr = static_cast<char*>(std::memchr(begin, '\r', bytes.size()));
  if (!cr) return;
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
  bytes.resize(static_cast<std::size_t>(out - begin));
}

std::optional<std::string> LoadTextFile(const std::string& path, std::string* problem) {
  if (path.find('\0') != std::string::npos) {
    if (problem) *problem = "the name holds a NUL byte";
    return std::nullopt;
  }
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (problem) *problem = std::strerror(errno);
    return std::nullopt;
  }
  std::string bytes;
  bool ok = ReadAll(fd, bytes, problem);
  close(fd);
  if (!ok) return std::nullopt;
  ApplyTextModeReading(bytes);
  return bytes;
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
