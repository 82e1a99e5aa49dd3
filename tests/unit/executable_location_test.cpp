// Finding the executable, and with it Base/, from what the process knows of
// how it was started: /proc/self/exe, else the path it was started by, else
// argv[0] (in PATH when it has no slash); never the working directory by
// default.
#include "runtime/executable_location.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "xrdcalc/error.hpp"

namespace xrd {
namespace {

namespace fs = std::filesystem;

class ExecutableLocation : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("xrdcalc-exe-" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "lib" / "xrdcalc");
    fs::create_directories(root_ / "bin");
    std::ofstream(root_ / "lib" / "xrdcalc" / "xrdcalc") << "#!/bin/sh\n";
    fs::permissions(root_ / "lib" / "xrdcalc" / "xrdcalc", fs::perms::owner_all);
    fs::create_symlink("../lib/xrdcalc/xrdcalc", root_ / "bin" / "xrdcalc");
    std::ofstream(root_ / "bin" / "not-executable") << "data\n";
  }
  void TearDown() override { fs::remove_all(root_); }
  std::string Path(const char* relative) const { return (root_ / relative).string(); }
  fs::path root_;
};

TEST_F(ExecutableLocation, FollowsTheFirstClueThatLeadsToAnExecutable) {
  const std::string installed = Path("bin/../lib/xrdcalc");  // the symlink's target, from its directory
  const struct {
    ExecutableClues clues;
    std::string directory;
  } cases[] = {
      {{.proc_link = "/proc/self/exe", .exec_path = "", .argv0 = "", .search_path = ""},
       fs::path(fs::read_symlink("/proc/self/exe")).parent_path().string()},
      {{.proc_link = "/no/proc/self/exe", .exec_path = Path("bin/xrdcalc"), .argv0 = "x", .search_path = ""}, installed},
      {{.proc_link = "/no/proc", .exec_path = Path("lib/xrdcalc/xrdcalc"), .argv0 = "", .search_path = ""},
       Path("lib/xrdcalc")},
      {{.proc_link = "/no/proc", .exec_path = "", .argv0 = Path("bin/xrdcalc"), .search_path = ""}, installed},
      {{.proc_link = "/no/proc", .exec_path = "", .argv0 = "xrdcalc", .search_path = "/nowhere::" + Path("bin")},
       installed},
      {{.proc_link = "/no/proc", .exec_path = Path("bin/not-executable"), .argv0 = "xrdcalc",
        .search_path = Path("bin")},
       installed},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExecutableDirectory(c.clues), c.directory) << c.clues.exec_path << " " << c.clues.argv0;
  }
}

TEST_F(ExecutableLocation, StopsWhereNoClueLeadsToAnExecutable) {
  try {
    ExecutableDirectory({"/no/proc/self/exe", "", "xrdcalc", "/nowhere:" + Path("lib")});
    FAIL() << "no executable, no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "cannot find the program's own executable, beside which its data directory Base lies "
                               "(/no/proc/self/exe: No such file or directory; the path the program was started by: "
                               "unknown; its name \"xrdcalc\" in PATH)");
  }
  EXPECT_EQ(DataDirectoryBeside("/opt/xrdcalc") + DataDirectoryBeside("/"), "/opt/xrdcalc/Base/Base");
}

}  // namespace
}  // namespace xrd
