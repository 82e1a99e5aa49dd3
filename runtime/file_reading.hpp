// Opening a regular file for reading and reading it whole with as few
// system calls as its size allows.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <memory>
#include <string>

namespace xrd {

// Opens `path` for reading if it is a regular file: without blocking (a
// pipe nobody writes to) and without taking a terminal as the controlling
// one. Fills `info` with the file's stat, its times settled (see
// SettleFileTimes). On failure gives false and, when `problem` is set, a
// short reason such as "No such file or directory" or "not a regular file".
bool OpenRegularFile(const std::string& path, int& fd, struct stat& info, std::string* problem);

// A file's bytes, in a buffer that stays where it is when the object moves.
struct FileBytes {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;
};

enum class ReadOutcome {
  Read,     // the whole file, as it was from its opening to the end of the read
  Changed,  // the file's size or times moved while it was read: read it again
  Failed,   // `problem` says why
};

// Reads everything from the open regular file `fd` whose stat is `info`:
// one read for a file whose size is known, more only when it grows or its
// size is not known (those of /proc give 0). A file of more than
// `max_bytes` bytes is refused, unread when its size is known.
ReadOutcome ReadWholeFile(int fd, const struct stat& info, std::size_t max_bytes, FileBytes& read,
                          std::string* problem);

// Calls `read_once()` (which gives a ReadOutcome) again while the file
// changes under it, `attempts` times in all. True once a read is whole;
// false where one failed or the file changed every time (`problem` then
// says so).
template <class ReadOnce>
bool ReadWhileUnchanged(int attempts, std::string* problem, ReadOnce read_once) {
  for (int attempt = 1; attempt <= attempts; ++attempt) {
    const ReadOutcome outcome = read_once();
    if (outcome != ReadOutcome::Changed) return outcome == ReadOutcome::Read;
  }
  if (problem) *problem = "changed while it was read, " + std::to_string(attempts) + " times in a row";
  return false;
}

}  // namespace xrd
