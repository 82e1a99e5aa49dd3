// Files read under the text-mode rules, in memory, read whole and mapped,
// against the rules written out byte by byte; files that change, grow or
// shrink while they are read (writing is checked end to end).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "runtime/data_files.hpp"
#include "runtime/text_file_contents.hpp"
#include "runtime/text_mode.hpp"
#include "tests/unit/test_data.hpp"

namespace xrd {
namespace {

namespace fs = std::filesystem;

// The reading rules written out: every CR dropped, the text ends at the first control-Z.
std::string ByTheRules(const std::string& bytes) {
  std::string text = bytes.substr(0, bytes.find('\x1a'));
  std::erase(text, '\r');
  return text;
}

// Below 16 KiB a file is read, from there on mapped; either way, and in
// memory, the text is the rules' text, and a prefix asked for first of a
// mapping is the text's start and stays valid when the contents move.
TEST(TextFile, EveryReaderFollowsTheRulesAtEverySize) {
  const testing::ScratchDirectory directory("xrdcalc-textfile");
  std::mt19937 random(7);
  for (std::size_t size : {0, 1, 2, 63, 64, 65, 300, 4096, 16383, 16384, 16385, 1048576}) {
    for (int variant = 0; variant < 6; ++variant) {
      std::string bytes(size, 'x');
      for (char& c : bytes) c = "ab\n #"[random() % 5];
      for (int k = 0; size > 0 && k < (variant == 2 ? 50 : variant == 1 ? 1 : 0); ++k) bytes[random() % size] = '\r';
      if (size > 0 && variant == 3) bytes[random() % size] = '\x1a';
      if (size > 0 && variant == 4) bytes[0] = bytes[size - 1] = '\r', bytes[size / 2] = '\0';
      if (variant == 5) bytes = std::string(size, '\r');
      const std::string expected = ByTheRules(bytes);
      std::string in_memory = bytes;
      ApplyTextModeReading(in_memory);
      ASSERT_EQ(in_memory, expected) << size << "/" << variant;
      directory.Write("table.dat", bytes);
      EXPECT_EQ(LoadTextFile(directory / "table.dat"), expected) << size << "/" << variant;
      std::optional<TextFileContents> mapped = MapTextFile(directory / "table.dat");
      ASSERT_TRUE(mapped);
      EXPECT_EQ(mapped->mapped_bytes().size(), size >= 16384 ? size : 0);
      const std::string_view prefix = mapped->TextPrefix(size / 3);
      EXPECT_EQ(prefix, std::string_view(expected).substr(0, prefix.size()));
      EXPECT_GE(prefix.size(), std::min(size / 3, expected.size()));
      EXPECT_TRUE(size < 1048576 || variant != 0 || !mapped->whole()) << "the rest is not read yet";
      const std::string copy(prefix);
      const TextFileContents moved = std::move(*mapped);
      EXPECT_EQ(moved.text(), expected) << size << "/" << variant;
      EXPECT_EQ(prefix, copy);
    }
  }
  // /proc files give a size of 0 and are read whole all the same.
  EXPECT_GT(LoadTextFile("/proc/self/environ").value_or("").size(), 64u);
  EXPECT_EQ(MapTextFile("/proc/self/environ")->text(), LoadTextFile("/proc/self/environ"));
  std::string problem;  // and a limit holds for them as they are read
  EXPECT_FALSE(LoadTextFile("/proc/self/environ", &problem, 16));
  EXPECT_EQ(problem, "larger than 16 bytes; not read");
  if (std::ifstream crypto("/proc/crypto"); crypto) {  // about 11 KiB: the buffer grows twice
    EXPECT_EQ(LoadTextFile("/proc/crypto"), std::string(std::istreambuf_iterator<char>(crypto), {}));
  }
}

// A refused name, and a file mapped (its mapping kept), leave no descriptor
// open: the next one opened takes the number the one before took.
TEST(TextFile, RefusedAndMappedFilesLeaveNoDescriptorOpen) {
  const testing::ScratchDirectory directory("xrdcalc-descriptors");
  directory.Write("large.dat", std::string(64 * 1024, 'x'));
  const int before = open("/dev/null", O_RDONLY);
  close(before);
  for (const char* path : {"/", "/dev/null"}) EXPECT_FALSE(LoadTextFile(path)) << path;
  const std::optional<TextFileContents> mapped = MapTextFile(directory / "large.dat");
  ASSERT_TRUE(mapped && mapped->text().size() == 64 * 1024);
  const int after = open("/dev/null", O_RDONLY);
  close(after);
  EXPECT_EQ(after, before);
}

// A file that grows between its opening and the end of the read is read
// again; one changed or shrunk under its mapping is noticed, its missing
// pages reading as zeros (no SIGBUS), and only for that mapping; a file
// replaced by another is not one changed.
TEST(TextFile, ChangesDuringAndAfterTheReadAreNoticed) {
  const testing::ScratchDirectory directory("xrdcalc-textfile");
  const std::string path = directory / "table.dat";
  directory.Write("table.dat", "1000 1 2\n");
  int fd = -1;
  struct stat opened {};
  ASSERT_TRUE(OpenRegularFile(path, fd, opened, nullptr));
  std::ofstream(path, std::ios::binary | std::ios::app) << "2000 3 4\n";
  FileBytes read;
  EXPECT_EQ(ReadWholeFile(fd, opened, 1000, read, nullptr), ReadOutcome::Changed);
  close(fd);
  // Rewritten in place at the same size, its modification time put back: the change time moved.
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // past the file-time clock's tick
  ASSERT_EQ(fstat(fd = open(path.c_str(), O_RDONLY), &opened), 0);
  close(fd);
  directory.Write("table.dat", std::string(opened.st_size, 'x'));
  const FileTime kept_times[2] = {opened.st_atim, opened.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), kept_times, 0), 0);
  EXPECT_TRUE(FileChangedSince(path, IdentityOf(opened)));
  for (int changes : {0, 4, 5}) {  // read again while it changes, five times in all
    int reads = 0;
    std::string problem;
    EXPECT_EQ(ReadWhileUnchanged(5, &problem, [&] { return ++reads > changes ? ReadOutcome::Read : ReadOutcome::Changed; }),
              changes < 5);
    EXPECT_EQ(reads, std::min(changes + 1, 5));
    EXPECT_EQ(problem, changes < 5 ? "" : "changed while it was read, 5 times in a row");
  }

  directory.Write("f1f2.dat", std::string(100000, 'x'));
  {
    const DataFiles first(directory.path());
    const DataFile& table = first.Get("f1f2.dat");
    EXPECT_FALSE(first.ChangedSinceLoaded());
    std::ofstream(directory / "f1f2.dat", std::ios::binary | std::ios::app) << "more";
    EXPECT_TRUE(FileChangedSince(table.path(), table.contents().identity()));
    ASSERT_EQ(truncate((directory / "f1f2.dat").c_str(), 0), 0);
    EXPECT_FALSE(table.contents().shrank());
    EXPECT_EQ(table.text(), std::string(100000, '\0'));
    EXPECT_TRUE(table.contents().shrank());
    EXPECT_TRUE(first.ChangedSinceLoaded());
    directory.Write("new.dat", std::string(100000, 'y'));
    fs::rename(directory / "new.dat", directory / "f1f2.dat");
    EXPECT_FALSE(FileChangedSince(table.path(), table.contents().identity())) << "replaced, not changed";
    EXPECT_TRUE(first.OutOfDate());
    directory.Write("small.dat", "read, not mapped\n");
    const DataFiles second(directory.path());
    EXPECT_EQ(second.Get("small.dat").text(), "read, not mapped\n");
    EXPECT_FALSE(second.ChangedSinceLoaded()) << "a file read, not mapped, never shrinks";
    EXPECT_EQ(second.Get("f1f2.dat").text(), std::string(100000, 'y'));
    EXPECT_FALSE(second.ChangedSinceLoaded()) << "the shrunk mapping, still held, counts for its own attempt only";
    EXPECT_FALSE(second.OutOfDate());
  }
}

// 64 mappings are guarded against shrinking at once; a file that finds no
// guard is read instead, and a guard given back is taken again.
TEST(TextFile, SixtyFourFilesAreMappedAtOnceAndMoreAreRead) {
  const testing::ScratchDirectory directory("xrdcalc-textfile");
  directory.Write("table.dat", std::string(20000, 'x'));
  std::vector<TextFileContents> kept;
  for (int i = 0; i < 66; ++i) kept.push_back(*MapTextFile(directory / "table.dat"));
  for (int i = 0; i < 66; ++i) EXPECT_EQ(kept[i].mapped_bytes().empty(), i >= 64) << i;
  kept.erase(kept.begin());
  EXPECT_EQ(MapTextFile(directory / "table.dat")->mapped_bytes().size(), 20000u);
}

}  // namespace
}  // namespace xrd
