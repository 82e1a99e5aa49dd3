// TextFileContents: a mapping whose reading rules are applied step by step
// as its text is asked for, or a buffer read whole.
#include "runtime/text_file_contents.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "runtime/mapped_file_guard.hpp"
#include "runtime/text_mode.hpp"

namespace xrd {

namespace {

// Below this size a file costs less to read than to map: mapping, its page
// faults and unmapping outweigh copying a few pages.
constexpr std::size_t kSmallestMappedFile = 16 * 1024;

// A mapping's reading rules are applied in steps of at least this much.
constexpr std::size_t kCheckedStep = 64 * 1024;

// A file that changes while it is read is read again, this many times in all.
constexpr int kReadAttempts = 5;

}  // namespace

TextFileContents& TextFileContents::operator=(TextFileContents&& other) noexcept {
  if (this != &other) {
    Unmap();
    mapping_ = other.mapping_;
    mapping_length_ = other.mapping_length_;
    guard_ = other.guard_;
    mutex_ = std::move(other.mutex_);
    checked_ = other.checked_;
    whole_.store(other.whole_.load());
    buffer_ = std::move(other.buffer_);
    data_ = other.data_;
    size_ = other.size_;
    identity_ = other.identity_;
    other.mapping_ = nullptr;
    other.mapping_length_ = 0;
    other.guard_ = kNoGuard;
    other.checked_ = 0;
    other.whole_.store(true);
    other.data_ = "";
    other.size_ = 0;
  }
  return *this;
}

void TextFileContents::Unmap() noexcept {
  if (!mapping_) return;
  munmap(mapping_, mapping_length_);
  UnguardMapping(guard_);
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

bool TextFileContents::shrank() const { return GuardedFileShrank(guard_); }

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
  char* first_cr = nullptr;
  std::size_t length = checked_ + TextLength(bytes + checked_, mapping_length_ - checked_, first_cr);
  if (first_cr && mprotect(mapping_, mapping_length_, PROT_READ | PROT_WRITE) != 0) {
    buffer_.reset(new char[length]);
    std::memcpy(buffer_.get(), bytes, length);
    first_cr = buffer_.get() + (first_cr - bytes);
    bytes = buffer_.get();
  }
  if (first_cr) length = DropCarriageReturns(bytes, length, first_cr);
  data_ = bytes;
  size_ = length;
  whole_.store(true, std::memory_order_release);
}

// A guarded private mapping of the open file, or nothing where it cannot be
// mapped or guarded.
std::optional<TextFileContents> TextFileContents::Map(int fd, const struct stat& info) {
  const std::size_t file_size = static_cast<std::size_t>(info.st_size);
  void* mapping = mmap(nullptr, file_size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (mapping == MAP_FAILED) return std::nullopt;
  const int guard = GuardMapping(mapping, file_size);
  if (guard == kNoGuard) {
    munmap(mapping, file_size);
    return std::nullopt;
  }
  TextFileContents contents;
  contents.identity_ = IdentityOf(info);
  contents.mapping_ = mapping;
  contents.mapping_length_ = file_size;
  contents.guard_ = guard;
  contents.mutex_ = std::make_unique<std::mutex>();
  contents.data_ = static_cast<const char*>(mapping);
  contents.whole_.store(false);
  return contents;
}

TextFileContents TextFileContents::FromBytes(FileBytes read, const struct stat& info) {
  TextFileContents contents;
  contents.identity_ = IdentityOf(info);
  contents.size_ = ApplyTextModeReading(read.bytes.get(), read.size);
  contents.data_ = read.bytes.get();
  contents.buffer_ = std::move(read.bytes);
  return contents;
}

std::optional<TextFileContents> MapTextFile(const std::string& path, std::string* problem, bool allow_mapping,
                                            std::size_t max_bytes) {
  std::optional<TextFileContents> contents;
  ReadWhileUnchanged(kReadAttempts, problem, [&] {
    int fd = -1;
    struct stat info {};
    if (!OpenRegularFile(path, fd, info, problem)) return ReadOutcome::Failed;
    const std::size_t file_size = static_cast<std::size_t>(info.st_size);
    if (allow_mapping && file_size >= kSmallestMappedFile && file_size <= max_bytes) {
      contents = TextFileContents::Map(fd, info);
      if (contents) {
        close(fd);
        return ReadOutcome::Read;
      }
    }
    FileBytes read;
    const ReadOutcome outcome = ReadWholeFile(fd, info, max_bytes, read, problem);
    close(fd);
    if (outcome == ReadOutcome::Read) contents = TextFileContents::FromBytes(std::move(read), info);
    return outcome;
  });
  return contents;
}

std::optional<std::string> LoadTextFile(const std::string& path, std::string* problem, std::size_t max_bytes) {
  std::optional<TextFileContents> contents = MapTextFile(path, problem, false, max_bytes);
  if (!contents) return std::nullopt;
  return std::string(contents->text());
}

}  // namespace xrd
