// Formatted scanning in memory. The number grammar follows the C library
// character by character, including how far a failed number has read (a
// sign, "1e+" or "infi" stay consumed), so that scanning resumes where the
// library's would.
#include "runtime/text_scanner.hpp"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "runtime/c_number.hpp"
#include "runtime/character_class.hpp"

namespace xrd {

namespace {

constexpr int kEnd = -1;

bool IsHexDigit(int c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int ToLower(int c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

}  // namespace

void TextScanner::SkipSpace() {
  while (position_ < text_.size() && IsScanSpace(static_cast<unsigned char>(text_[position_]))) ++position_;
}

bool TextScanner::ReadChar(char& c) {
  if (AtEnd()) return false;
  c = text_[position_++];
  return true;
}

bool TextScanner::ReadPiece(std::string_view& piece, std::size_t max_length) {
  if (AtEnd()) return false;
  std::size_t length = std::min(max_length, text_.size() - position_);
  const char* start = text_.data() + position_;
  if (const void* lf = std::memchr(start, '\n', length)) {
    length = static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1;
  }
  piece = text_.substr(position_, length);
  position_ += length;
  return true;
}

bool TextScanner::SkipPast(char c) {
  if (AtEnd()) return false;
  const char* start = text_.data() + position_;
  const void* hit = std::memchr(start, c, text_.size() - position_);
  if (!hit) {
    position_ = text_.size();
    return false;
  }
  position_ += static_cast<std::size_t>(static_cast<const char*>(hit) - start) + 1;
  return true;
}

TextScanner::Outcome TextScanner::ScanDouble(double* target) {
  // The number is the run of text the grammar takes, left where it lies.
  const std::size_t start = position_;
  int c = NextChar();
  if (c == kEnd) return Outcome::InputFailure;
  bool got_sign = false;
  bool got_digit = false;
  bool got_dot = false;
  bool got_e = false;
  bool hexadecimal = false;
  bool decimal = false;  // digits, point and exponent only
  auto take_word = [&](const char* word) {  // rest of "nan" / "inf" / "inity"
    for (const char* w = word; *w; ++w) {
      c = NextChar();
      if (c == kEnd || ToLower(c) != *w) return false;
    }
    return true;
  };
  if (c == '-' || c == '+') {
    got_sign = true;
    c = NextChar();
    if (c == kEnd) return Outcome::MatchFailure;
  }
  if (ToLower(c) == 'n') {
    if (!take_word("an")) return Outcome::MatchFailure;
  } else if (ToLower(c) == 'i') {
    if (!take_word("nf")) return Outcome::MatchFailure;
    c = NextChar();
    if (ToLower(c) == 'i') {
      if (!take_word("nity")) return Outcome::MatchFailure;
    } else {
      PutBack(c);
    }
  } else {
    int exponent_char = 'e';
    int last = kEnd;  // the last character taken
    bool at_end = false;
    if (c == '0') {
      last = c;
      c = NextChar();
      if (c == kEnd) {
        at_end = true;
      } else if (ToLower(c) == 'x') {
        last = c;
        hexadecimal = true;
        exponent_char = 'p';
        c = NextChar();
      } else {
        got_digit = true;
      }
    }
    while (!at_end) {
      if (IsDigit(c)) {
        got_digit = true;
      } else if (!got_e && hexadecimal && IsHexDigit(c)) {
        got_digit = true;
      } else if (got_e && ToLower(last) == exponent_char && (c == '-' || c == '+')) {
        // the exponent's sign
      } else if (got_digit && !got_e && ToLower(c) == exponent_char) {
        got_e = got_dot = true;
      } else if (!got_dot && c == '.') {
        got_dot = true;
      } else {
        PutBack(c);
        break;
      }
      last = c;
      c = NextChar();
      if (c == kEnd) break;
    }
    const std::size_t sign_length = got_sign ? 1 : 0;
    const std::size_t taken = position_ - start;
    if (!at_end && (taken == sign_length || (hexadecimal && taken == 2 + sign_length))) {
      return Outcome::MatchFailure;
    }
    decimal = !hexadecimal;
  }
  // A decimal number converts with std::from_chars, which gives the same
  // correctly rounded value as strtod in a fraction of the time (it takes
  // no '+', which changes nothing). Hexadecimal, infinities, NaNs and values
  // beyond the range of double (where from_chars gives no value) go to
  // strtod in the "C" locale, on the text that the number took.
  const char* begin = text_.data() + start;
  const char* stop = text_.data() + position_;
  double value = 0.0;
  bool converted = false;
  if (decimal) {
    const char* digits = *begin == '+' ? begin + 1 : begin;
    const std::from_chars_result result = std::from_chars(digits, stop, value);
    converted = result.ec == std::errc() && result.ptr != digits;
  }
  if (!converted && ConvertCNumber(begin, stop, value) == 0) return Outcome::MatchFailure;
  if (target) *target = value;
  return Outcome::Stored;
}

TextScanner::Outcome TextScanner::ScanInt(int* target) {
  int c = NextChar();
  if (c == kEnd) return Outcome::InputFailure;
  std::string number;
  if (c == '-' || c == '+') {
    number.push_back(static_cast<char>(c));
    c = NextChar();
  }
  while (IsDigit(c)) {
    number.push_back(static_cast<char>(c));
    c = NextChar();
  }
  PutBack(c);
  if (number.empty() || (number.size() == 1 && (number[0] == '-' || number[0] == '+'))) {
    return Outcome::MatchFailure;
  }
  // The library converts to long (saturating) and then narrows to int.
  long value = std::strtol(number.c_str(), nullptr, 10);
  if (target) *target = static_cast<int>(value);
  return Outcome::Stored;
}

int TextScanner::ScanInto(std::string_view format, std::initializer_list<ScanTarget> targets) {
  const ScanTarget* next_target = targets.begin();
  auto take_target = [&](ScanTarget::Kind kind) -> void* {
    if (next_target == targets.end() || next_target->kind() != kind) {
      throw std::logic_error("scan format and targets do not agree");
    }
    return (next_target++)->pointer();
  };
  int stored = 0;
  last_scan_complete_ = false;
  auto input_failure = [&] { return stored == 0 ? -1 : stored; };
  bool skip_space = false;
  std::size_t f = 0;
  while (f < format.size()) {
    char fc = format[f++];
    if (fc != '%') {
      if (IsScanSpace(static_cast<unsigned char>(fc))) {
        skip_space = true;
        continue;
      }
      if (skip_space) {
        SkipSpace();
        skip_space = false;
      }
      int c = NextChar();
      if (c == kEnd) return input_failure();
      if (c != static_cast<unsigned char>(fc)) {
        PutBack(c);
        return stored;
      }
      continue;
    }
    bool suppress = false;
    if (f < format.size() && format[f] == '*') {
      suppress = true;
      ++f;
    }
    std::size_t width = 0;
    while (f < format.size() && IsDigit(format[f])) width = width * 10 + static_cast<std::size_t>(format[f++] - '0');
    bool is_long = false;
    if (f < format.size() && format[f] == 'l') {
      is_long = true;
      ++f;
    }
    if (f >= format.size()) throw std::logic_error("scan format ends inside a conversion");
    char conversion = format[f++];
    if (conversion != 'c' || skip_space) {
      SkipSpace();
      skip_space = false;
    }
    Outcome outcome = Outcome::Stored;
    if (conversion == 'c') {
      if (width == 0) width = 1;
      if (AtEnd()) return input_failure();
      std::size_t count = std::min(width, text_.size() - position_);
      if (!suppress) std::memcpy(take_target(ScanTarget::Kind::Chars), text_.data() + position_, count);
      position_ += count;
    } else if (conversion == 'd') {
      outcome = ScanInt(suppress ? nullptr : static_cast<int*>(take_target(ScanTarget::Kind::Int)));
    } else if (conversion == 'f' && is_long) {
      outcome = ScanDouble(suppress ? nullptr : static_cast<double*>(take_target(ScanTarget::Kind::Double)));
    } else {
      throw std::logic_error("unsupported scan conversion");
    }
    if (outcome == Outcome::InputFailure) return input_failure();
    if (outcome == Outcome::MatchFailure) return stored;
    if (!suppress) ++stored;
  }
  if (skip_space) SkipSpace();
  last_scan_complete_ = true;
  return stored;
}

}  // namespace xrd
