// The in-memory scanner against the C library's sscanf: same count, same
// stored values (bit for bit), same position afterwards, on a table of
// awkward inputs and on random ones.
#include "runtime/text_scanner.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace xrd {
namespace {

struct Outcome {
  int count = 0;
  std::array<double, 3> d = {-7.5, -7.5, -7.5};
  std::array<int, 2> i = {-77, -77};
  std::array<char, 2> c = {'?', '?'};
  int consumed = -1;  // -1 where the library's %n was not reached
};

// Calls scan(format, targets...) with the format `form` and its targets in `o`.
template <class ScanFunction>
int ScanForm(int form, Outcome& o, ScanFunction scan) {
  switch (form) {
    case 0: return scan("%lf %lf %lf", &o.d[0], &o.d[1], &o.d[2]);
    case 1: return scan("%lf,", &o.d[0]);
    case 2: return scan(" %lf, %lf, %lf", &o.d[0], &o.d[1], &o.d[2]);
    case 3: return scan("%d,%*d\n", &o.i[0]);
    case 4: return scan("%*4c %2c", o.c.data());
    case 5: return scan("%d%d", &o.i[0], &o.i[1]);
    case 6: return scan("UP (W&K) data: %lf", &o.d[0]);
    default: return scan("%c%d", o.c.data(), &o.i[0]);
  }
}
constexpr int kForms = 8;

// Each format through both scanners; "%n" tells the library's position
// where the whole format matched.
void ExpectSameAsTheLibrary(const std::string& input) {
  for (int form = 0; form < kForms; ++form) {
    Outcome library, mine;
    const char* format = "";
    library.count = ScanForm(form, library, [&](const char* f, auto... targets) {
      format = f;
      return std::sscanf(input.c_str(), (std::string(f) + "%n").c_str(), targets..., &library.consumed);
    });
    TextScanner scanner(input);
    mine.count = ScanForm(form, mine, [&](const char* f, auto... targets) { return scanner.Scan(f, targets...); });
    mine.consumed = scanner.last_scan_complete() ? static_cast<int>(scanner.position()) : -2;
    SCOPED_TRACE("input \"" + input + "\" format \"" + format + "\"");
    EXPECT_EQ(mine.count, library.count);
    using Bits = std::array<std::uint64_t, 3>;
    EXPECT_EQ(std::bit_cast<Bits>(mine.d), std::bit_cast<Bits>(library.d))
        << mine.d[0] << " " << mine.d[1] << " " << mine.d[2];
    EXPECT_EQ(mine.i, library.i);
    EXPECT_EQ(mine.c, library.c);
    if (library.consumed >= 0) { EXPECT_EQ(mine.consumed, library.consumed); }
  }
}

// On awkward inputs and random ones; a format whose conversions do not fit
// its targets is the program's own fault.
TEST(TextScanner, AgreesWithTheLibrary) {
  double d = 0;
  EXPECT_THROW(TextScanner("1 2").Scan("%d", &d), std::logic_error);
  EXPECT_THROW(TextScanner("1 2").Scan("%lf %lf", &d), std::logic_error);
  TextScanner nul(std::string_view("1\0", 2));  // a NUL byte after a number is put back like any other
  EXPECT_EQ(nul.Scan("%lf,", &d), 1);
  EXPECT_EQ(nul.position(), 1u);
  std::vector<std::string> inputs = {
      "1 2 3",       "  1.5\n2.5e3\t-3",  "1e+x",      "0x",         "0xg",        "-x",        "inf infinity nan",
      "infx",        "infi",              "nan(12)",   "",           "   ",        ".",         "1.5.3",
      "0x1p3 0X.8P1 -0x1.8p-1",           "1e5e",      "+.5",        "-",          "0x.p1",     "1,2",
      "nAnx",        "0e",                "00x1",      "2,216\n5.65,0.3",          "99999999999999999999,1",
      "-99999999999999999999", "2147483648 -2147483649", "+ 1",      "007,08",     "12 , 3",    "1.0, 2.0, 3.0",
      " 0.25,0.75 ,0.5",                  "#S  14  Si", "#S 1  H\nx", "ab",        "abcd",      "abcdef  ",
      "UP (W&K) data: 5.2",               "UP(W&K)data:5.2",         "UP  (W&K)  data:   -1e-3",  "UP (W&K) dat",
      "UP (W&K) data:",                   "1e400 -1e400 4.9e-324",   "1e-400",     "  \n  ",    "1.",
      "-.e5",        "0x1.fffffffffffffp1023",  "123456789012345678901234567890e-10",         "1e+",   "1e-",
      "0xA 0XaF.Bp1",                     "UP ( W&K) data: 5",
  };
  const std::string alphabet = "0123456789+-.eExXpPaAfFnNiItTyY ,:\t\n#()&UPWKdat";
  std::mt19937 random(20261206);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(0, 14);
  for (int trial = 0; trial < 20000; ++trial) {
    std::string& input = inputs.emplace_back();
    for (int k = length(random); k > 0; --k) input += alphabet[pick(random)];
  }
  for (const std::string& input : inputs) {
    ExpectSameAsTheLibrary(input);
    if (HasFailure()) return;
  }
}

// Pieces as fgets gives them with room for `max_length` characters: up to
// that many, or through the next line feed; the text's end ends the last
// piece, also where the bytes after the text hold a line feed.
TEST(TextScanner, ReadsPiecesAsFgetsDoes) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 2000; ++trial) {
    std::string text(1, 'a');
    for (int k = random() % 40; k > 0; --k) text += "ab\n "[random() % 4];
    const int max_length = 1 + static_cast<int>(random() % 8);
    const std::string held = text + "\nxx\n";  // bytes beyond the text
    TextScanner scanner(std::string_view(held).substr(0, text.size()));
    FILE* file = fmemopen(text.data(), text.size(), "r");
    ASSERT_NE(file, nullptr);
    std::vector<char> line(max_length + 1);
    std::string_view piece;
    while (std::fgets(line.data(), max_length + 1, file)) {
      ASSERT_TRUE(scanner.ReadPiece(piece, max_length));
      EXPECT_EQ(piece, line.data()) << text;
    }
    std::fclose(file);
    EXPECT_FALSE(scanner.ReadPiece(piece, max_length));
    EXPECT_EQ(scanner.position(), text.size()) << text;
  }
}

}  // namespace
}  // namespace xrd
