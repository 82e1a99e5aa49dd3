// A file's text under the text-mode rules, held without a copy where that
// pays: a large regular file stays a private read-only mapping, a small one
// is read into a buffer of its own; and whole-file reading of a text.
#pragma once

#include <atomic>
#include <cstddef>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/file_identity.hpp"
#include "runtime/file_reading.hpp"
#include "runtime/mapped_file_guard.hpp"

namespace xrd {

// A mapping is made writable only when it holds a carriage return to drop
// (only the pages from the first one on are then copied). The rules are
// applied to a mapping only as far as its text is asked for, so that a
// reader who needs the start of a large table touches no page past it. The
// bytes stay where they are for the object's lifetime, moves included, so
// views of the text stay valid while it lives. Safe to use from several
// threads.
class TextFileContents {
 public:
  TextFileContents() = default;
  TextFileContents(TextFileContents&& other) noexcept { *this = std::move(other); }
  TextFileContents& operator=(TextFileContents&& other) noexcept;
  TextFileContents(const TextFileContents&) = delete;
  TextFileContents& operator=(const TextFileContents&) = delete;
  ~TextFileContents() { Unmap(); }

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
  // Whether the file shrank under the mapping, so that pages past its new
  // end read as zeros.
  bool shrank() const;

 private:
  friend std::optional<TextFileContents> MapTextFile(const std::string& path, std::string* problem,
                                                     bool allow_mapping, std::size_t max_bytes);
  static std::optional<TextFileContents> Map(int fd, const struct stat& info);
  static TextFileContents FromBytes(FileBytes read, const struct stat& info);
  // The destructor and the move assignment, its only callers, end the
  // object or overwrite every member.
  void Unmap() noexcept;
  void ApplyRulesToTheRest() const;  // with the mutex held

  void* mapping_ = nullptr;
  std::size_t mapping_length_ = 0;
  int guard_ = kNoGuard;
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

// Opens the regular file `path` as TextFileContents: large files (16 KiB
// and more) mapped unless `allow_mapping` is false, others read. Anything
// but a regular file fails ("Is a directory", "not a regular file"; a pipe
// is never waited on), and so does a file of more than `max_bytes` bytes.
// A file that changes while it is read is read again, five times at most.
// A mapped file that shrinks while the contents live reads as zeros past
// its new end (shrank() tells), never as a fault. On failure gives nothing
// and, when `problem` is set, a short reason.
std::optional<TextFileContents> MapTextFile(const std::string& path, std::string* problem = nullptr,
                                            bool allow_mapping = true,
                                            std::size_t max_bytes = std::numeric_limits<std::size_t>::max());

// The whole text of the regular file `path`, read into memory, as
// MapTextFile without mapping gives it.
std::optional<std::string> LoadTextFile(const std::string& path, std::string* problem = nullptr,
                                        std::size_t max_bytes = std::numeric_limits<std::size_t>::max());

}  // namespace xrd
