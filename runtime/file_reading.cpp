// open, fstat and read, with the error texts of the C library.
#include "runtime/file_reading.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/file_identity.hpp"

namespace xrd {

namespace {

void Say(std::string* problem, const std::string& reason) {
  if (problem) *problem = reason;
}

}  // namespace

bool OpenRegularFile(const std::string& path, int& fd, struct stat& info, std::string* problem) {
  if (path.find('\0') != std::string::npos) {
    Say(problem, "the name holds a NUL byte");
    return false;
  }
  fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    Say(problem, std::strerror(errno));
    return false;
  }
  const char* refusal = nullptr;
  if (fstat(fd, &info) != 0) {
    refusal = std::strerror(errno);
  } else if (S_ISDIR(info.st_mode)) {
    refusal = std::strerror(EISDIR);
  } else if (!S_ISREG(info.st_mode)) {
    refusal = "not a regular file";
  }
  if (refusal) {
    close(fd);
    Say(problem, refusal);
    return false;
  }
  SettleFileTimes(fd, info);
  return true;
}

ReadOutcome ReadWholeFile(int fd, const struct stat& info, std::size_t max_bytes, FileBytes& read,
                          std::string* problem) {
  const std::size_t known_size = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 0;
  auto too_large = [&] {
    Say(problem, "larger than " + std::to_string(max_bytes) + " bytes; not read");
    return ReadOutcome::Failed;
  };
  if (known_size > max_bytes) return too_large();
  // Room for the file and one byte more, which tells that it has ended.
  std::size_t capacity = known_size > 0 ? known_size + 1 : 4096;
  read.bytes.reset(new char[capacity]);
  read.size = 0;
  for (;;) {
    if (read.size > max_bytes) return too_large();
    if (read.size == capacity) {  // the file has grown since fstat, or its size is not known
      std::unique_ptr<char[]> larger(new char[2 * capacity]);
      std::memcpy(larger.get(), read.bytes.get(), read.size);
      read.bytes = std::move(larger);
      capacity *= 2;
    }
    const std::size_t wanted = capacity - read.size;
    const ssize_t got = ::read(fd, read.bytes.get() + read.size, wanted);
    if (got < 0) {
      if (errno == EINTR) continue;
      Say(problem, std::strerror(errno));
      return ReadOutcome::Failed;
    }
    read.size += static_cast<std::size_t>(got);
    // A file on disk gives less than asked for only at its end.
    if (got == 0 || (known_size > 0 && static_cast<std::size_t>(got) < wanted)) break;
  }
  if (read.size > max_bytes) return too_large();
  return DescriptorChangedSince(fd, IdentityOf(info)) ? ReadOutcome::Changed : ReadOutcome::Read;
}

}  // namespace xrd
