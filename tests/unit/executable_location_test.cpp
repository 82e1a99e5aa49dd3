// Finding the executable, and with it Base/, from what the process knows of
// how it was started: /proc/self/exe, else the path it was started by, else
// argv[0] (in PATH when it has no slash); never the working directory by
// default.
#include "runtime/executable_location.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/unit/test_data.hpp"

namespace xrd {
namespace {

namespace fs = std::filesystem;

// The first clue that leads to an executable gives its directory (a
// symlink's target's, an executable in PATH after empty and missing
// entries); where none does, the error names every clue tried.
TEST(ExecutableLocation, FollowsTheFirstClueThatLeadsToAnExecutable) {
  const testing::ScratchDirectory root("xrdcalc-exe");
  fs::create_directories(root.path() / "lib" / "xrdcalc");
  fs::create_directories(root.path() / "bin");
  root.Write("lib/xrdcalc/xrdcalc", "#!/bin/sh\n");
  fs::permissions(root / "lib/xrdcalc/xrdcalc", fs::perms::owner_all);
  fs::create_symlink("../lib/xrdcalc/xrdcalc", root.path() / "bin" / "xrdcalc");
  root.Write("bin/not-executable", "data\n");
  const std::string installed = root / "bin/../lib/xrdcalc";  // the symlink's target, from its directory
  const struct { ExecutableClues clues; std::string directory; } cases[] = {
      {{.proc_link = "/proc/self/exe", .exec_path = "", .argv0 = "", .search_path = ""},
       fs::path(fs::read_symlink("/proc/self/exe")).parent_path().string()},
      {{.proc_link = "/no/proc/self/exe", .exec_path = root / "bin/xrdcalc", .argv0 = "x", .search_path = ""}, installed},
      {{.proc_link = "/no/proc", .exec_path = root / "lib/xrdcalc/xrdcalc", .argv0 = "", .search_path = ""},
       root / "lib/xrdcalc"},
      {{.proc_link = "/no/proc", .exec_path = "", .argv0 = root / "bin/xrdcalc", .search_path = ""}, installed},
      {{.proc_link = "/no/proc", .exec_path = "", .argv0 = "xrdcalc", .search_path = "/nowhere::" + root / "bin"},
       installed},
      {{.proc_link = "/no/proc", .exec_path = root / "bin/not-executable", .argv0 = "xrdcalc",
        .search_path = root / "bin"},
       installed},
      {{"/no/proc/self/exe", "", "xrdcalc", "/nowhere:" + root / "lib"},
       "cannot find the program's own executable, beside which its data directory Base lies (/no/proc/self/exe: No "
       "such file or directory; the path the program was started by: unknown; its name \"xrdcalc\" in PATH)"},
  };
  for (const auto& c : cases) {  // the directory found, or the message of the stop
    EXPECT_EQ(testing::ErrorOf([&] { throw Error(ExecutableDirectory(c.clues)); }), c.directory) << c.clues.argv0;
  }
  EXPECT_EQ(DataDirectoryBeside("/opt/xrdcalc") + DataDirectoryBeside("/"), "/opt/xrdcalc/Base/Base");
}

}  // namespace
}  // namespace xrd
