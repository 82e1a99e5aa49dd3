// bench_runner: times a program against the floor program in pairs, A/B,
// in the case's own working directory, both pinned to one CPU.
//
//   bench_runner --floor PROGRAM [--rounds N] [--warmup W] [--blocks B]
//                [--cpu C] [--keep-output] [--raw FILE] CASES
//
// CASES holds one case per line: name, working directory and program, each
// separated by a tab. Every round runs, for each case in an order shuffled
// anew each round, one pair: the floor and the case's program one right
// after the other, from the case's directory. Which of the two goes first
// alternates from round to round, so neither always follows the other. The
// first W rounds are not counted; the counted rounds are cut into B blocks
// of consecutive rounds, which show how stable a ratio is over the
// measurement.
//
// Both programs of a pair are launched the same way: fork; in the child
// sched_setaffinity to CPU C (default: the last CPU the harness may use),
// chdir, standard input, output and error on /dev/null, execv. The harness
// runs on CPU C as well. Wall time runs from just before fork to the return
// of wait4; peak resident set size is the ru_maxrss that wait4 reports. A
// run that does not exit with status 0 stops the measurement.
//
// Before every run the harness removes output.dat from the directory, outside
// the timed span, so that both programs find the same directory (input.dat,
// no output.dat). Otherwise each would find the file the other one wrote,
// and on ext4 replacing or truncating another program's freshly written file
// costs the next run more than the difference being measured.
// --keep-output leaves it in place (to see that effect).
//
// Prints a comment line (#) with the CPU and the counts, a comment line with
// the column names, then one line per case, tab separated:
//   name pairs floor_med floor_q1 floor_q3 prog_med prog_q1 prog_q3
//   ratio_of_medians pair_ratio_med pair_ratio_q1 pair_ratio_q3
//   block_ratio_min block_ratio_max ratio_floor_first ratio_prog_first
//   floor_rss_kib prog_rss_kib
// Times are microseconds; a pair ratio is the program's time over the floor's
// time of the same pair; a block ratio is the median pair ratio of a block;
// the last two ratios are the median pair ratios of the pairs in which the
// floor, or the program, ran first (they differ when going first matters).
// --raw FILE also writes every counted pair: case, round, block, which ran
// first, floor_us, prog_us.
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct Options {
  std::string floor;
  std::string case_file;
  std::string raw_file;
  int rounds = 1000;
  int warmup = 20;
  int blocks = 5;
  int cpu = -1;  // the last allowed CPU
  bool keep_output = false;
};

struct Pair {
  int round = 0;
  bool floor_first = true;
  double floor_us = 0;
  double prog_us = 0;
};

struct Case {
  std::string name;
  std::string directory;
  std::string program;
  std::vector<Pair> pairs;
  long floor_rss_kib = 0;
  long prog_rss_kib = 0;
};

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "bench_runner: %s\n", message.c_str());
  std::exit(2);
}

[[noreturn]] void Usage() {
  Fail(
      "usage: bench_runner --floor PROGRAM [--rounds N] [--warmup W] [--blocks B] [--cpu C] [--keep-output] "
      "[--raw FILE] CASES");
}

// `path` made absolute, since the runs change directory.
std::string Absolute(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) Fail("cannot find " + path + ": " + std::strerror(errno));
  std::string result(resolved);
  std::free(resolved);
  return result;
}

int Number(const char* text, int least) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*text == '\0' || *end != '\0' || value < least || value > 1000000) Usage();
  return static_cast<int>(value);
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--floor" && has_value) {
      options.floor = argv[++i];
    } else if (arg == "--rounds" && has_value) {
      options.rounds = Number(argv[++i], 1);
    } else if (arg == "--warmup" && has_value) {
      options.warmup = Number(argv[++i], 0);
    } else if (arg == "--blocks" && has_value) {
      options.blocks = Number(argv[++i], 1);
    } else if (arg == "--cpu" && has_value) {
      options.cpu = Number(argv[++i], 0);
    } else if (arg == "--raw" && has_value) {
      options.raw_file = argv[++i];
    } else if (arg == "--keep-output") {
      options.keep_output = true;
    } else if (options.case_file.empty() && !arg.empty() && arg[0] != '-') {
      options.case_file = arg;
    } else {
      Usage();
    }
  }
  if (options.floor.empty() || options.case_file.empty()) Usage();
  options.floor = Absolute(options.floor);
  if (options.blocks > options.rounds) Fail("more blocks than rounds");
  return options;
}

double NowUs() {
  using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC
  return std::chrono::duration<double, std::micro>(Clock::now().time_since_epoch()).count();
}

std::vector<Case> ReadCases(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (!file) Fail("cannot open " + path + ": " + std::strerror(errno));
  std::vector<Case> cases;
  char line[4096];
  while (std::fgets(line, sizeof line, file)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty() || text[0] == '#') continue;
    const std::size_t tab1 = text.find('\t');
    const std::size_t tab2 = tab1 == std::string::npos ? tab1 : text.find('\t', tab1 + 1);
    if (tab2 == std::string::npos) Fail("a case line is not name<TAB>directory<TAB>program: " + text);
    Case c;
    c.name = text.substr(0, tab1);
    c.directory = text.substr(tab1 + 1, tab2 - tab1 - 1);
    c.program = Absolute(text.substr(tab2 + 1));
    cases.push_back(std::move(c));
  }
  std::fclose(file);
  if (cases.empty()) Fail("no cases in " + path);
  return cases;
}

// The CPU to run on: the requested one, or the last one the harness may use.
// The harness itself moves there too.
cpu_set_t PinnedSet(int& cpu) {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) Fail(std::string("sched_getaffinity: ") + std::strerror(errno));
  if (cpu < 0) {
    for (int k = 0; k < CPU_SETSIZE; ++k) {
      if (CPU_ISSET(k, &allowed)) cpu = k;
    }
  }
  if (cpu < 0 || cpu >= CPU_SETSIZE || !CPU_ISSET(cpu, &allowed)) Fail("CPU " + std::to_string(cpu) + " is not available");
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(cpu, &one);
  if (sched_setaffinity(0, sizeof one, &one) != 0) Fail(std::string("sched_setaffinity: ") + std::strerror(errno));
  return one;
}

// Runs `program` once in `directory` on the CPUs of `cpus`; gives the wall
// time in microseconds and the peak RSS.
double RunOnce(const std::string& program, const std::string& directory, const cpu_set_t& cpus, long& peak_rss_kib) {
  const double start = NowUs();
  const pid_t pid = fork();
  if (pid < 0) Fail(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    if (sched_setaffinity(0, sizeof cpus, &cpus) != 0) _exit(125);
    const int null = open("/dev/null", O_RDWR);
    if (null < 0 || chdir(directory.c_str()) != 0) _exit(126);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    execv(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) Fail(std::string("wait4: ") + std::strerror(errno));
  }
  const double wall = NowUs() - start;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    Fail(program + " in " + directory + " did not exit with status 0");
  }
  peak_rss_kib = usage.ru_maxrss;
  return wall;
}

void RemoveOutput(const std::string& directory) {
  const std::string path = directory + "/output.dat";
  if (unlink(path.c_str()) != 0 && errno != ENOENT) Fail("cannot remove " + path + ": " + std::strerror(errno));
}

// One run of `program` for case `c`, the directory prepared as the options say.
double Timed(const Options& options, const std::string& program, const Case& c, const cpu_set_t& cpus, long& rss) {
  if (!options.keep_output) RemoveOutput(c.directory);
  return RunOnce(program, c.directory, cpus, rss);
}

// One pair of case `c` in round `round`: the floor and the program, which
// one first alternating with the round.
void RunPair(const Options& options, Case& c, int round, const cpu_set_t& cpus) {
  Pair pair;
  pair.round = round;
  pair.floor_first = round % 2 == 0;
  long floor_rss = 0;
  long prog_rss = 0;
  if (pair.floor_first) {
    pair.floor_us = Timed(options, options.floor, c, cpus, floor_rss);
    pair.prog_us = Timed(options, c.program, c, cpus, prog_rss);
  } else {
    pair.prog_us = Timed(options, c.program, c, cpus, prog_rss);
    pair.floor_us = Timed(options, options.floor, c, cpus, floor_rss);
  }
  if (round < options.warmup) return;
  c.pairs.push_back(pair);
  c.floor_rss_kib = std::max(c.floor_rss_kib, floor_rss);
  c.prog_rss_kib = std::max(c.prog_rss_kib, prog_rss);
}

// The q-quantile, interpolated between neighbours; NaN for no values.
double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return std::nan("");
  std::sort(values.begin(), values.end());
  const double position = q * static_cast<double>(values.size() - 1);
  const std::size_t below = static_cast<std::size_t>(position);
  const std::size_t above = std::min(below + 1, values.size() - 1);
  const double t = position - static_cast<double>(below);
  return values[below] + t * (values[above] - values[below]);
}

// The block (0 .. blocks-1) that counted round `counted` falls in.
int BlockOf(int counted, const Options& options) {
  return static_cast<int>(static_cast<long>(counted) * options.blocks / options.rounds);
}

void PrintSummary(const Case& c, const Options& options) {
  std::vector<double> floor_us;
  std::vector<double> prog_us;
  std::vector<double> ratios;
  std::vector<double> ratios_by_first[2];  // [0]: floor first, [1]: program first
  std::vector<std::vector<double>> block_ratios(static_cast<std::size_t>(options.blocks));
  for (const Pair& p : c.pairs) {
    floor_us.push_back(p.floor_us);
    prog_us.push_back(p.prog_us);
    ratios.push_back(p.prog_us / p.floor_us);
    ratios_by_first[p.floor_first ? 0 : 1].push_back(ratios.back());
    block_ratios[static_cast<std::size_t>(BlockOf(p.round - options.warmup, options))].push_back(ratios.back());
  }
  double block_min = 1e300;
  double block_max = 0;
  for (const std::vector<double>& block : block_ratios) {
    const double median = Quantile(block, 0.5);
    block_min = std::min(block_min, median);
    block_max = std::max(block_max, median);
  }
  const double floor_median = Quantile(floor_us, 0.5);
  const double prog_median = Quantile(prog_us, 0.5);
  std::printf("%s\t%zu\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.1f\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%.4f\t%ld\t%ld\n",
              c.name.c_str(), c.pairs.size(), floor_median, Quantile(floor_us, 0.25), Quantile(floor_us, 0.75),
              prog_median, Quantile(prog_us, 0.25), Quantile(prog_us, 0.75), prog_median / floor_median,
              Quantile(ratios, 0.5), Quantile(ratios, 0.25), Quantile(ratios, 0.75), block_min, block_max,
              Quantile(ratios_by_first[0], 0.5), Quantile(ratios_by_first[1], 0.5), c.floor_rss_kib, c.prog_rss_kib);
}

void WriteRaw(const std::vector<Case>& cases, const Options& options) {
  std::FILE* file = std::fopen(options.raw_file.c_str(), "w");
  if (!file) Fail("cannot write " + options.raw_file + ": " + std::strerror(errno));
  std::fprintf(file, "# case\tround\tblock\tfirst\tfloor_us\tprog_us\n");
  for (const Case& c : cases) {
    for (const Pair& p : c.pairs) {
      std::fprintf(file, "%s\t%d\t%d\t%s\t%.1f\t%.1f\n", c.name.c_str(), p.round - options.warmup,
                   BlockOf(p.round - options.warmup, options), p.floor_first ? "floor" : "prog", p.floor_us, p.prog_us);
    }
  }
  if (std::fclose(file) != 0) Fail("cannot write " + options.raw_file);
}

}  // namespace

int main(int argc, char** argv) {
  Options options = ParseOptions(argc, argv);
  std::vector<Case> cases = ReadCases(options.case_file);
  const cpu_set_t cpus = PinnedSet(options.cpu);
  std::vector<std::size_t> order(cases.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::mt19937 shuffle_engine(20240607);  // the same orders on every measurement
  for (int round = 0; round < options.warmup + options.rounds; ++round) {
    std::shuffle(order.begin(), order.end(), shuffle_engine);
    for (const std::size_t k : order) RunPair(options, cases[k], round, cpus);
  }
  std::printf("# cpu %d, %d rounds after %d warm-up rounds, %d blocks, output.dat %s before every run\n", options.cpu,
              options.rounds, options.warmup, options.blocks, options.keep_output ? "left in place" : "removed");
  std::printf(
      "# name\tpairs\tfloor_med\tfloor_q1\tfloor_q3\tprog_med\tprog_q1\tprog_q3\tratio_of_medians\tpair_ratio_med\t"
      "pair_ratio_q1\tpair_ratio_q3\tblock_ratio_min\tblock_ratio_max\t"
      "ratio_floor_first\tratio_prog_first\tfloor_rss_kib\tprog_rss_kib\n");
  for (const Case& c : cases) PrintSummary(c, options);
  if (!options.raw_file.empty()) WriteRaw(cases, options);
  return 0;
}
