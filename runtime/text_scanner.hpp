// Formatted scanning over text held in memory, with the C library's scanf
// semantics for the directives the readers use: "%lf", "%d", "%c", "%Nc",
// suppressed conversions ("%*4c", "%*d", "%*lf"), white-space directives
// and literal characters. A failed conversion leaves its target unchanged
// and ends the scan. Also reads line pieces the way a line read into an
// 80-character buffer does.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string_view>

namespace xrd {

// A destination of one stored conversion.
class ScanTarget {
 public:
  enum class Kind { Double, Int, Chars };
  ScanTarget(double* p) : kind_(Kind::Double), pointer_(p) {}  // NOLINT: implicit on purpose
  ScanTarget(int* p) : kind_(Kind::Int), pointer_(p) {}        // NOLINT
  ScanTarget(char* p) : kind_(Kind::Chars), pointer_(p) {}     // NOLINT
  Kind kind() const { return kind_; }
  void* pointer() const { return pointer_; }

 private:
  Kind kind_;
  void* pointer_;
};

// Longest piece a line read gives: one less than the 80-character buffer.
inline constexpr std::size_t kPieceLength = 79;

class TextScanner {
 public:
  explicit TextScanner(std::string_view text) : text_(text) {}

  // Scans `format` like sscanf and returns the number of stored
  // conversions, or -1 when the text ends before the first conversion.
  template <class... Targets>
  int Scan(std::string_view format, Targets*... targets) {
    return ScanInto(format, {ScanTarget(targets)...});
  }
  int ScanInto(std::string_view format, std::initializer_list<ScanTarget> targets);

  // "%c": one character, white space included; false at the end of the text.
  bool ReadChar(char& c);

  // Reads up to `max_length` characters, stopping after a line feed, which
  // the piece keeps. False at the end of the text.
  bool ReadPiece(std::string_view& piece, std::size_t max_length = kPieceLength);

  // Moves to just after the next occurrence of `c`; false (at the end) if none.
  bool SkipPast(char c);

  // Whether the last Scan went through its whole format: a format ending in
  // literal characters stores nothing, so only this tells that they matched.
  bool last_scan_complete() const { return last_scan_complete_; }

  bool AtEnd() const { return position_ >= text_.size(); }
  // Moves to `position` (at most the end of the text).
  void Seek(std::size_t position) { position_ = position < text_.size() ? position : text_.size(); }
  std::size_t position() const { return position_; }
  std::string_view rest() const { return text_.substr(position_); }

 private:
  enum class Outcome { Stored, InputFailure, MatchFailure };
  Outcome ScanDouble(double* target);
  Outcome ScanInt(int* target);
  int NextChar() { return position_ < text_.size() ? static_cast<unsigned char>(text_[position_++]) : -1; }
  void PutBack(int c) {
    if (c >= 0) --position_;
  }
  void SkipSpace();

  std::string_view text_;
  std::size_t position_ = 0;
  bool last_scan_complete_ = false;
};

}  // namespace xrd
