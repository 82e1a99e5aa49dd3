// What tells one state of a file from another (the file itself, its size
// and its modification and change times), and how a reader makes sure that
// a write after its start moves those times.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <utility>

namespace xrd {

// A file time as stat gives it: seconds and nanoseconds.
using FileTime = decltype(std::declval<struct stat>().st_mtim);

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  FileTime modified{};
  FileTime changed{};
};

FileIdentity IdentityOf(const struct stat& info);

// The same file with another size or time.
bool ChangedFrom(const FileIdentity& before, const FileIdentity& now);

// Whether the file now at `path` is the one `identity` describes, changed
// since. A file replaced by another (renamed over, deleted) is not
// "changed": what was read of it is whole.
bool FileChangedSince(const std::string& path, const FileIdentity& identity);

// Whether the open file `fd` has another size or time than `identity`
// says (or can no longer be asked).
bool DescriptorChangedSince(int fd, const FileIdentity& identity);

// File times come from a clock that moves in ticks of a few milliseconds:
// two writes within one tick leave the same times. Where the open file
// `fd`, whose stat is `info`, was last written within the current tick,
// waits (a few ticks at most) until that tick has passed and stats it
// again into `info`, so that any later write shows as a change.
void SettleFileTimes(int fd, struct stat& info);

}  // namespace xrd
