// Runs that are interrupted, limited or whose data change under them end
// in their result or an orderly stop, never a partial output.dat.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <thread>

#include "tests/e2e/program_runner.hpp"

namespace xrd::testing {
namespace {

namespace fs = std::filesystem;

const std::string kInput = "0 0 0\n0 0 0\n1.5405929\n0 0 4\n0\nGa7In3As\n1\n";

// Starts the program in `work`, named "--list" (a name is no option).
pid_t Start(const ProgramRunner& runner) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(runner.work().c_str()) != 0) _exit(99);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execl(runner.executable().c_str(), "--list", static_cast<char*>(nullptr));
    _exit(98);
  }
  return pid;
}

// The names in the working directory other than input.dat and a complete output.dat.
std::vector<std::string> Leftovers(const ProgramRunner& runner, const std::string& complete_output) {
  std::vector<std::string> names = runner.Names();
  std::erase_if(names, [&](const std::string& name) {
    return name == "input.dat" || (name == "output.dat" && ReadBytes(runner.work() / name) == complete_output);
  });
  return names;
}

// Runs killed by any of four signals at random moments, and runs under limits
// on the file size (refusing the first write, or cutting it short) and on
// memory (from plenty down to too little to reach main), leave nothing but
// input.dat and at most a complete output.dat; a limit is an orderly stop.
TEST(Interruption, KilledOrLimitedRunsLeaveNoTemporaryOrPartialFile) {
  ProgramRunner runner(SHIPPED_BASE, /*link_base=*/true);
  const std::string complete = runner.Expect(kInput, 0, "").output.value_or("");
  std::mt19937 random(12345);
  const int signals[] = {SIGINT, SIGTERM, SIGKILL, SIGHUP};
  for (int i = 0; i < 500; ++i) {
    if (i % 2 == 0) fs::remove(runner.work() / "output.dat");
    const pid_t pid = Start(runner);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    kill(pid, signals[i % 4]);
    waitpid(pid, nullptr, 0);
    const std::vector<std::string> left = Leftovers(runner, complete);
    ASSERT_TRUE(left.empty()) << "run " << i << " left " << left.front();
  }
  auto run = [&](const std::string& limit) {  // each with the output.dat of an earlier run in place
    WriteBytes(runner.work() / "output.dat", "a stale result\n");
    RunResult limited = runner.Run(std::nullopt, "prlimit", limit + " '" + runner.executable().string() + "'");
    const bool reached_main = limited.exit_status == 0 || limited.exit_status == 1;
    EXPECT_TRUE(!reached_main || Leftovers(runner, complete).empty()) << limit;
    return limited;
  };
  EXPECT_EQ(run("--fsize=0").exit_status, 1);  // its message cannot be written either
  const RunResult cut_short = run("--fsize=100");
  EXPECT_EQ(cut_short.exit_status, 1);
  EXPECT_TRUE(cut_short.error_output.ends_with(": File too large\n")) << cut_short.error_output;
#ifndef __SANITIZE_ADDRESS__  // which needs far more address space
  int stops = 0;
  for (int kib = 8192; kib > 0; kib -= 128) {
    const RunResult limited = run("--as=" + std::to_string(kib * 1024));
    if (limited.exit_status != 0 && limited.exit_status != 1) break;  // too little to reach main
    EXPECT_EQ(limited.error_output, limited.exit_status ? "xrdcalc: out of memory\n" : "") << kib << " KiB";
    stops += limited.exit_status;
  }
  EXPECT_GT(stops, 0);
#endif
}

// A table rewritten in place (as cp does) while runs go on gives each run
// the old result, the new one or a one-line stop, never a signal.
TEST(Interruption, ATableRewrittenInPlaceGivesTheOldResultTheNewOneOrAStop) {
  ProgramRunner runner(SHIPPED_BASE);  // a copy: its f1f2.dat is rewritten
  const fs::path table = runner.base() / "f1f2.dat";
  const std::string old_table = ReadBytes(table);
  std::string new_table = "#C a comment that moves every record\n" + old_table;
  const std::size_t ga = new_table.find("#S  31  Ga");
  const std::size_t ge = new_table.find("#S  32  Ge");
  ASSERT_TRUE(ga != std::string::npos && ge != std::string::npos);
  new_table.replace(ga, 10, "#S  32  Ge");  // Ga takes Ge's rows and Ge Ga's
  new_table.replace(ge, 10, "#S  31  Ga");
  const std::string old_output = *runner.Run(kInput).output;
  WriteBytes(table, new_table);
  const std::string new_output = *runner.Run(kInput).output;
  ASSERT_NE(old_output, new_output);
  std::jthread writer([&](std::stop_token stop) {  // as cp does: truncate, then write in pieces
    for (int round = 0; !stop.stop_requested(); ++round) {
      const std::string& bytes = round % 2 ? old_table : new_table;
      const int fd = open(table.c_str(), O_WRONLY | O_TRUNC);
      for (std::size_t at = 0; fd >= 0 && at < bytes.size() && !stop.stop_requested(); at += 65536) {
        if (write(fd, bytes.data() + at, std::min<std::size_t>(65536, bytes.size() - at)) < 0) break;
      }
      close(fd);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a table stands for a while
    }
  });  // stopped and joined when the test ends, also on a failed assertion
  int results = 0, stops = 0;
  for (int i = 0; i < 300; ++i) {
    const RunResult run = runner.Run(std::nullopt);
    ASSERT_TRUE(run.exit_status == 0 || run.exit_status == 1) << "run " << i << " ended by a signal";
    if (run.exit_status == 1) {
      EXPECT_EQ(run.error_output.find("xrdcalc: "), run.error_output.rfind('\n', run.error_output.size() - 2) + 1)
          << run.error_output;
      ++stops;
    } else if (run.output == old_output || run.output == new_output) {
      ++results;
    } else {
      ADD_FAILURE() << "run " << i << " mixed the two tables:\n" << run.output.value_or("(no output.dat)");
    }
  }
  EXPECT_GT(results, 100) << stops << " stops";
}

// Faults a file system makes only now and then, brought about in a test
// build of the program (e2e/injected_faults.cpp): data files that change
// between any two looks at them (a run is done five times, and gives the
// result and warnings of its last attempt alone, or stops), a file that
// changes during each of its five reads, and, without unnamed files, an
// output.dat that cannot be renamed into place (the temporary file is removed).
TEST(Interruption, FaultsOfTheFileSystemEndInOrderlyStops) {
  ProgramRunner runner(TEST_DATA_BASE);
  const fs::path faulty = runner.root() / "bin" / "xrdcalc-faults";
  fs::copy_file(XRDCALC_INJECTED_FAULTS_EXE, faulty);
  const std::string he = "0 0 0\n0 0 0\n1.5405929\n0 0 4\n0\nHe\n1\n";
  const std::string warning = "warning: <base>/f1f2.dat: element He: no record for the element (searched up to the Cf "
                              "record); no anomalous correction, f1 = f0(0), f2 = 0\n";
  auto with_fault = [&](const char* variable, const char* value, auto run) {
    setenv(variable, value, 1);
    run();
    unsetenv(variable);
  };
  const std::optional<std::string> result = runner.Expect(he, 0, warning).output;
  with_fault("XRDCALC_CHANGING", "f1f2.dat", [&] {
    with_fault("XRDCALC_CHANGING_LOOKS", "4", [&] { EXPECT_EQ(runner.Expect(he, 0, warning, "", faulty).output, result); });
    runner.Expect(he, 1, warning + "xrdcalc: the data files in <base> changed while the run read them, 5 times in a "
                                   "row; no result\n", "", faulty);
  });
  with_fault("XRDCALC_CHANGING_WHILE_READ", "He.stf", [&] {
    runner.Expect(he, 1, "xrdcalc: cannot open <base>/He.stf: changed while it was read, 5 times in a row\n", "", faulty);
  });
  fs::remove(runner.work() / "output.dat");
  fs::create_directories(runner.work() / "output.dat" / "keep");
  with_fault("XRDCALC_NO_TMPFILE", "1", [&] {
    runner.Expect(he, 1, warning + "xrdcalc: cannot write output.dat: Is a directory; the output.dat of an earlier "
                                   "run could not be removed (Is a directory) and is not this run's result\n", "", faulty);
  });
  EXPECT_EQ(runner.Names(), (std::vector<std::string>{"input.dat", "output.dat"}));
}

}  // namespace
}  // namespace xrd::testing
