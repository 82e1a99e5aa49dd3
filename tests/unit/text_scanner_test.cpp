// The in-memory scanner against the C library's sscanf: same count, same
// stored values (bit for bit), same position afterwards, on a table of
// awkward inputs and on random ones.
#include "runtime/text_scanner.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace xrd {
namespace {

struct Outcome {
  int count = 0;
  double d[3] = {-7.5, -7.5, -7.5};
  int i[2] = {-77, -77};
  char c[2] = {'?', '?'};
  long consumed = -1;  // -1 where the library's %n was not reached
};

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectSame(const Outcome& mine, const Outcome& library, const std::string& input, const char* format) {
  SCOPED_TRACE("input \"" + input + "\" format \"" + format + "\"");
  EXPECT_EQ(mine.count, library.count);
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(SameBits(mine.d[k], library.d[k])) << mine.d[k] << " vs " << library.d[k];
  }
  for (int k = 0; k < 2; ++k) EXPECT_EQ(mine.i[k], library.i[k]);
  for (int k = 0; k < 2; ++k) EXPECT_EQ(mine.c[k], library.c[k]);
  if (library.consumed >= 0) {
    EXPECT_EQ(mine.consumed, library.consumed);
  }
}

// Each format is run through both scanners; "%n" tells the library's
// position where the whole format matched.
enum class Form { ThreeDoubles, DoubleComma, Site, IntCommaInt, SkipAndTwoChars, Ints, LiteralThenDouble, CharInt };

Outcome ScanWithLibrary(Form form, const std::string& in) {
  Outcome o;
  int n = -1;
  const char* s = in.c_str();
  switch (form) {
    case Form::ThreeDoubles: o.count = std::sscanf(s, "%lf %lf %lf%n", &o.d[0], &o.d[1], &o.d[2], &n); break;
    case Form::DoubleComma: o.count = std::sscanf(s, "%lf,%n", &o.d[0], &n); break;
    case Form::Site: o.count = std::sscanf(s, " %lf, %lf, %lf%n", &o.d[0], &o.d[1], &o.d[2], &n); break;
    case Form::IntCommaInt: o.count = std::sscanf(s, "%d,%*d\n%n", &o.i[0], &n); break;
    case Form::SkipAndTwoChars: o.count = std::sscanf(s, "%*4c %2c%n", o.c, &n); break;
    case Form::Ints: o.count = std::sscanf(s, "%d%d%n", &o.i[0], &o.i[1], &n); break;
    case Form::LiteralThenDouble: o.count = std::sscanf(s, "UP (W&K) data: %lf%n", &o.d[0], &n); break;
    case Form::CharInt: o.count = std::sscanf(s, "%c%d%n", o.c, &o.i[0], &n); break;
  }
  o.consumed = n;
  return o;
}

Outcome ScanWithScanner(Form form, const std::string& in) {
  Outcome o;
  TextScanner scanner(in);
  switch (form) {
    case Form::ThreeDoubles: o.count = scanner.Scan("%lf %lf %lf", &o.d[0], &o.d[1], &o.d[2]); break;
    case Form::DoubleComma: o.count = scanner.Scan("%lf,", &o.d[0]); break;
    case Form::Site: o.count = scanner.Scan(" %lf, %lf, %lf", &o.d[0], &o.d[1], &o.d[2]); break;
    case Form::IntCommaInt: o.count = scanner.Scan("%d,%*d\n", &o.i[0]); break;
    case Form::SkipAndTwoChars: o.count = scanner.Scan("%*4c %2c", o.c); break;
    case Form::Ints: o.count = scanner.Scan("%d%d", &o.i[0], &o.i[1]); break;
    case Form::LiteralThenDouble: o.count = scanner.Scan("UP (W&K) data: %lf", &o.d[0]); break;
    case Form::CharInt: o.count = scanner.Scan("%c%d", o.c, &o.i[0]); break;
  }
  o.consumed = scanner.last_scan_complete() ? static_cast<long>(scanner.position()) : -2;
  return o;
}

constexpr Form kAllForms[] = {Form::ThreeDoubles, Form::DoubleComma,    Form::Site,
                              Form::IntCommaInt,  Form::SkipAndTwoChars, Form::Ints,
                              Form::LiteralThenDouble, Form::CharInt};

TEST(TextScanner, AgreesWithTheLibraryOnAwkwardInputs) {
  const char* inputs[] = {
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
  for (const char* input : inputs) {
    for (Form form : kAllForms) {
      ExpectSame(ScanWithScanner(form, input), ScanWithLibrary(form, input), input, "form");
    }
  }
  // A format whose conversions do not fit its targets is the program's own fault.
  double d = 0;
  EXPECT_THROW(TextScanner("1 2").Scan("%d", &d), std::logic_error);
  EXPECT_THROW(TextScanner("1 2").Scan("%lf %lf", &d), std::logic_error);
  TextScanner nul(std::string_view("1\0", 2));  // a NUL byte after a number is put back like any other
  EXPECT_EQ(nul.Scan("%lf,", &d), 1);
  EXPECT_EQ(nul.position(), 1u);
}

TEST(TextScanner, AgreesWithTheLibraryOnRandomInputs) {
  const std::string alphabet = "0123456789+-.eExXpPaAfFnNiItTyY ,:\t\n#()&UPWKdat";
  std::mt19937 random(20261206);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> length(0, 14);
  for (int trial = 0; trial < 20000; ++trial) {
    std::string input;
    for (int k = length(random); k > 0; --k) input += alphabet[pick(random)];
    for (Form form : kAllForms) {
      ExpectSame(ScanWithScanner(form, input), ScanWithLibrary(form, input), input, "random");
      if (HasFailure()) return;
    }
  }
}

}  // namespace
}  // namespace xrd
