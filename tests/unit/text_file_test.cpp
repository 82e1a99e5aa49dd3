// Text-mode reading, of whole files and of mapped ones (writing is checked end to end).
#include "runtime/data_files.hpp"
#include "runtime/file_reading.hpp"
#include "runtime/text_file_contents.hpp"
#include "runtime/text_mode.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <random>

namespace xrd {
namespace {

TEST(TextMode, ReadingDropsCarriageReturnsAndEndsAtControlZ) {
  struct Case {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"a\r\nb\r\n", "a\nb\n"},
      {"\r\r\rx\ry\r", "xy"},
      {"no returns", "no returns"},
      {"one\r\n\x1a two\r\n", "one\n"},
      {std::string("\x1a", 1), ""},
      {"", ""},
      {std::string("nul\0byte\r", 9), std::string("nul\0byte", 8)},
  };
  for (Case& c : cases) {
    std::string bytes = c.bytes;
    ApplyTextModeReading(bytes);
    EXPECT_EQ(bytes, c.text);
  }
  // Against the rule written out byte by byte, with CR and control-Z
  // anywhere in texts around the 64-byte steps of the search.
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes(random() % 300, 'x');
    for (char& c : bytes) c = "ab\r\n\x1a"[random() % (round % 2 ? 5 : 4) == 0 ? random() % 5 : 0];
    std::string expected;
    for (char c : bytes) {
      if (c == '\x1a') break;
      if (c != '\r') expected += c;
    }
    ApplyTextModeReading(bytes);
    ASSERT_EQ(bytes, expected) << round;
  }
}

class TextFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() /
                 ("xrdcalc-textfile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory_);
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }
  std::string PathOf(const std::string& name) const { return (directory_ / name).string(); }
  std::filesystem::path directory_;
};

TEST_F(TextFileTest, MappedContentsFollowTheReadingRulesAtEverySize) {
  // Small files are read, large ones mapped (16 KiB and more): both must
  // give what LoadTextFile gives, and stay valid when moved. A prefix asked
  // for first is the text's start and stays so once the whole is read.
  std::mt19937 random(7);
  for (std::size_t size : {0, 1, 4095, 4096, 4097, 16383, 16384, 16385, 1048576}) {
    for (int variant = 0; variant < 5; ++variant) {
      std::string bytes(size, 'x');
      for (char& c : bytes) c = "ab\n #"[random() % 5];
      if (size > 0) {
        if (variant == 1) bytes[random() % size] = '\r';
        if (variant == 2) for (int k = 0; k < 50; ++k) bytes[random() % size] = '\r';
        if (variant == 3) bytes[random() % size] = '\x1a';
        if (variant == 4) {
          bytes[0] = '\r';
          bytes[size - 1] = '\r';
          bytes[size / 2] = '\0';
        }
      }
      const std::string name = PathOf(std::to_string(size) + "-" + std::to_string(variant));
      std::ofstream(name, std::ios::binary) << bytes;
      std::optional<std::string> loaded = LoadTextFile(name);
      std::optional<TextFileContents> mapped = MapTextFile(name);
      ASSERT_TRUE(loaded && mapped) << name;
      const std::string_view prefix = mapped->TextPrefix(size / 3);
      EXPECT_EQ(prefix, loaded->substr(0, prefix.size())) << name;
      EXPECT_GE(prefix.size(), std::min(size / 3, loaded->size())) << name;
      EXPECT_TRUE(mapped->whole() ? size != 1048576 || variant != 0 : prefix.size() < mapped->mapped_bytes().size())
          << "the rest of a large file without CR or control-Z is not read yet";
      const std::string copy(prefix);
      TextFileContents moved = std::move(*mapped);
      std::optional<TextFileContents> again(std::move(moved));
      EXPECT_EQ(again->text(), *loaded) << name;
      EXPECT_EQ(prefix, copy) << name;
    }
  }
}

TEST_F(TextFileTest, AMappedFileThatChangesIsNoticedAndOneThatShrinksReadsAsZeros) {
  const std::string name = PathOf("table.dat");
  std::ofstream(name, std::ios::binary) << std::string(100000, 'x');
  std::optional<TextFileContents> mapped = MapTextFile(name);
  ASSERT_TRUE(mapped);
  EXPECT_FALSE(FileChangedSince(name, mapped->identity()));
  std::ofstream(name, std::ios::binary | std::ios::app) << "more";
  EXPECT_TRUE(FileChangedSince(name, mapped->identity()));
  ASSERT_EQ(truncate(name.c_str(), 0), 0);
  EXPECT_FALSE(mapped->shrank());
  EXPECT_EQ(mapped->text(), std::string(100000, '\0'));  // no SIGBUS
  EXPECT_TRUE(mapped->shrank());
  std::filesystem::rename(name, PathOf("old.dat"));
  std::ofstream(name, std::ios::binary) << "another file";
  EXPECT_FALSE(FileChangedSince(name, mapped->identity())) << "a file replaced by another is not one changed";
}

TEST(TextFile, AFileOfUnknownSizeIsReadWhole) {  // those of /proc give a size of 0
  const std::optional<std::string> loaded = LoadTextFile("/proc/self/environ");
  ASSERT_TRUE(loaded && loaded->size() > 64);
  EXPECT_EQ(MapTextFile("/proc/self/environ")->text(), *loaded);
}

TEST_F(TextFileTest, SixtyFourFilesAreMappedAtOnceAndMoreAreRead) {  // not mapped without a SIGBUS guard slot
  std::ofstream(PathOf("table.dat"), std::ios::binary) << std::string(20000, 'x');
  std::vector<TextFileContents> kept;
  for (int i = 0; i < 66; ++i) kept.push_back(*MapTextFile(PathOf("table.dat")));
  for (int i = 0; i < 66; ++i) EXPECT_EQ(kept[i].mapped_bytes().empty(), i >= 64) << i;
  kept.erase(kept.begin());  // gives a slot back
  EXPECT_EQ(MapTextFile(PathOf("table.dat"))->mapped_bytes().size(), 20000u);
}

// A file whose size or times move between its opening and the end of the
// read is read again, not taken as it was read.
TEST_F(TextFileTest, AFileThatChangesWhileItIsReadIsReadAgain) {
  const std::string name = PathOf("table.dat");
  std::ofstream(name, std::ios::binary) << "1000 1 2\n";
  int fd = -1;
  struct stat opened {};
  ASSERT_TRUE(OpenRegularFile(name, fd, opened, nullptr));
  std::ofstream(name, std::ios::binary | std::ios::app) << "2000 3 4\n";
  FileBytes read;
  EXPECT_EQ(ReadWholeFile(fd, opened, 1000, read, nullptr), ReadOutcome::Changed);
  close(fd);
  EXPECT_EQ(LoadTextFile(name), "1000 1 2\n2000 3 4\n");
}

// File times move in ticks of a few milliseconds: a file read within the
// tick of its last write is read after that tick, so that a write in place
// right after the read, of the same size, still shows as a change.
TEST_F(TextFileTest, AnInPlaceRewriteRightAfterTheReadIsNoticed) {
  const std::string name = PathOf("table.dat");
  for (int round = 0; round < 20; ++round) {
    std::ofstream(name, std::ios::binary) << "1000 1 2\n";
    const std::optional<TextFileContents> read = MapTextFile(name);
    ASSERT_TRUE(read);
    std::FILE* file = std::fopen(name.c_str(), "r+");
    ASSERT_TRUE(file);
    std::fputs("2000 3 4\n", file);
    std::fclose(file);
    ASSERT_TRUE(FileChangedSince(name, read->identity())) << "round " << round;
  }
}

// That a mapped file shrank is told of that mapping only: the next attempt,
// on a whole file, is not taken for a changed one.
TEST_F(TextFileTest, AShrunkMappingCountsForItsOwnAttemptOnly) {
  std::ofstream(PathOf("f1f2.dat"), std::ios::binary) << std::string(100000, 'x');
  {
    const DataFiles first(directory_.string());
    const DataFile& table = first.Get("f1f2.dat");
    ASSERT_EQ(truncate(PathOf("f1f2.dat").c_str(), 0), 0);
    EXPECT_EQ(table.text(), std::string(100000, '\0'));
    EXPECT_TRUE(first.ChangedSinceLoaded());
  }
  std::ofstream(PathOf("new.dat"), std::ios::binary) << std::string(100000, 'y');
  std::filesystem::rename(PathOf("new.dat"), PathOf("f1f2.dat"));
  const DataFiles second(directory_.string());
  EXPECT_EQ(second.Get("f1f2.dat").text(), std::string(100000, 'y'));
  EXPECT_FALSE(second.ChangedSinceLoaded());
}

}  // namespace
}  // namespace xrd
