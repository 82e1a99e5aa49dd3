// File states from stat, and the wait for the file-time clock's tick.
#include "runtime/file_identity.hpp"

#include <time.h>

namespace xrd {

namespace {

bool SameTime(const FileTime& a, const FileTime& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

bool Before(const FileTime& a, const FileTime& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Whether the file's times lie in the file-time clock's current tick (or
// after it): a write in this same tick would not move them.
bool WrittenInCurrentTick(const struct stat& info) {
  FileTime now{};  // the clock reads in the form of a file time
  if (clock_gettime(CLOCK_REALTIME_COARSE, &now) != 0) return false;
  return !Before(info.st_mtim, now) || !Before(info.st_ctim, now);
}

constexpr int kMostTicksWaited = 50;

}  // namespace

FileIdentity IdentityOf(const struct stat& info) {
  FileIdentity identity;
  identity.device = info.st_dev;
  identity.inode = info.st_ino;
  identity.size = info.st_size;
  identity.modified = info.st_mtim;
  identity.changed = info.st_ctim;
  return identity;
}

bool ChangedFrom(const FileIdentity& before, const FileIdentity& now) {
  return now.size != before.size || !SameTime(now.modified, before.modified) ||
         !SameTime(now.changed, before.changed);
}

bool FileChangedSince(const std::string& path, const FileIdentity& identity) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return false;
  if (info.st_dev != identity.device || info.st_ino != identity.inode) return false;
  return ChangedFrom(identity, IdentityOf(info));
}

bool DescriptorChangedSince(int fd, const FileIdentity& identity) {
  struct stat info {};
  return fstat(fd, &info) != 0 || ChangedFrom(identity, IdentityOf(info));
}

void SettleFileTimes(int fd, struct stat& info) {
  FileTime tick{};
  if (clock_getres(CLOCK_REALTIME_COARSE, &tick) != 0) return;
  for (int waited = 0; waited < kMostTicksWaited && WrittenInCurrentTick(info); ++waited) {
    nanosleep(&tick, nullptr);
    struct stat now {};
    if (fstat(fd, &now) != 0) return;
    info = now;
  }
}

}  // namespace xrd
