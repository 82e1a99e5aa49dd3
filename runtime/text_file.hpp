// Whole-file text input and output with the program's text-mode rules:
// reading drops every carriage return and ends the text at the first
// control-Z (byte 26); writing turns each line feed into CR LF.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <ctime>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace xrd {

// Applies the reading rules to raw file bytes, in place.
void ApplyTextModeReading(std::string& bytes);

// Applies the reading rules to the `size` bytes at `bytes`, in place, and
// gives the length of the text they leave.
std::size_t ApplyTextModeReading(char* bytes, std::size_t size);

// Loads a whole file with one read into memory and applies the reading
// rules. On failure gives nothing and, when `problem` is set, a short
// description such as "No such file or directory". A file of more than
// `max_bytes` bytes is refused, unread when its size is known.
std::optional<std::string> LoadTextFile(const std::string& path, std::string* problem = nullptr,
                                        std::size_t max_bytes = std::numeric_limits<std::size_t>::max());

// A file time as stat gives it: seconds and nanoseconds.
using FileTime = decltype(std::declval<struct stat>().st_mtim);

// What tells one state of a file from another: the file itself (device and
// inode), its size and its modification and change times.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  FileTime modified{};
  FileTime changed{};
};

// Whether the file now at `path` is the one `identity` describes, changed
// since: same device and inode but another size or time. A file replaced
// by another (renamed over, deleted) is not "changed": what was read of it
// is whole.
bool FileChangedSince(const std::string& path, const FileIdentity& identity);

// Whether a mapped file has shrunk under a reader since the process began:
// the pages past its new end then read as zeros instead of faulting.
bool MappedFileShrank();

// A file's text under the reading rules, held without a copy where that
// pays: a large regular file stays a private read-only mapping, made
// writable only when it holds a carriage return to drop (only the pages
// from the first one on are then copied); a small one is read into a
// buffer of its own. The rules are applied to a mapping only as far as its
// text is asked for, so that a reader who needs the start of a large table
// touches no page past it. The bytes stay where they are for the object's
// lifetime, moves included, so views of the text stay valid while it
// lives. Safe to use from several threads.
class TextFileContents {
 public:
  TextFileContents() = default;
  TextFileContents(TextFileContents&& other) noexcept { *this = std::move(other); }
  TextFileContents& operator=(TextFileContents&& other) noexcept;
  TextFileContents(const TextFileContents&) = delete;
  TextFileContents& operator=(const TextFileContents&) = delete;
  ~TextFileContents() { Release(); }

  // The whole text.
  std::string_view text() const;
  // The text's first `length` characters at least (all of it when it is
  // shorter): on a mapping whose start holds no carriage return and no
  // control-Z, the bytes checked so far, in steps of 64 KiB.
  std::string_view TextPrefix(std::size_t length) const;
  // Whether the text is known whole; until then the reading rules have
  // been applied to the TextPrefix given so far only.
  bool whole() const;
  // The file's bytes as mapped, before the reading rules (empty for a file
  // read into a buffer).
  std::string_view mapped_bytes() const;
  const FileIdentity& identity() const { return identity_; }

 private:
  friend std::optional<TextFileContents> MapTextFile(const std::string& path, std::string* problem, bool allow_mapping);
  // Unmaps a mapping; the destructor and the move assignment, its only
  // callers, end the object or overwrite every member.
  void Release() noexcept;
  void ApplyRulesToTheRest() const;  // with the mutex held

  void* mapping_ = nullptr;
  std::size_t mapping_length_ = 0;
  // A mapping's state: its first `checked_` bytes hold no CR and no
  // control-Z; `whole_` once the rules have been applied to all of it.
  std::unique_ptr<std::mutex> mutex_;
  mutable std::size_t checked_ = 0;
  mutable std::atomic<bool> whole_{true};
  mutable std::unique_ptr<char[]> buffer_;
  mutable const char* data_ = "";
  mutable std::size_t size_ = 0;
  FileIdentity identity_;
};

// Opens the regular file `path` as TextFileContents: one open, fstat and
// mmap or read per call; nothing is kept from one call to the next.
// Anything but a regular file fails ("Is a directory", "not a regular
// file"; a pipe is never waited on); otherwise fails as LoadTextFile does.
// A mapped file that shrinks while the contents live reads as zeros past
// its new end (MappedFileShrank tells), never as a fault.
// With `allow_mapping` false every file is read into a buffer.
std::optional<TextFileContents> MapTextFile(const std::string& path, std::string* problem = nullptr,
                                            bool allow_mapping = true);

// The bytes that writing `text` in text mode puts in a file.
std::string ToTextModeBytes(std::string_view text);

// Writes `text` in text mode to `path` so that the file is always either
// complete or absent and no temporary file outlives the call, even when the
// process is killed: the file is written unnamed and linked into place
// when complete (where the file system cannot, a temporary name is renamed
// into place with the terminating signals blocked meanwhile). Throws Error
// when the file cannot be written.
void WriteTextFileAtomically(const std::string& path, std::string_view text);

}  // namespace xrd
