// bench_runner: times programs run as separate processes, the cases taking
// turns, so that a change in machine load during the measurement touches
// every case alike.
//
//   bench_runner [--runs N] [--warmup W] CASES
//
// CASES holds one case per line: name, working directory and program, each
// separated by a tab. Every round runs each case once, in an order shuffled
// anew for every round (what a run leaves behind, such as file system work
// after the previous run's output, must not always fall on the same case);
// the first W rounds are not counted. Each run is
// fork + exec with standard input, output and error on /dev/null; its wall
// time runs from just before fork to the return of wait4, and its peak
// resident set size is the ru_maxrss that wait4 reports. A run that does not
// exit with status 0 stops the measurement.
//
// Prints one line per case, tab separated:
//   name  runs  median_us  q1_us  q3_us  min_us  peak_rss_kib
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct Case {
  std::string name;
  std::string directory;
  std::string program;
  std::vector<double> wall_us;
  long peak_rss_kib = 0;
};

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "bench_runner: %s\n", message.c_str());
  std::exit(2);
}

double NowUs() {
  using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC
  return std::chrono::duration<double, std::micro>(Clock::now().time_since_epoch()).count();
}

std::vector<Case> ReadCases(const char* path) {
  std::FILE* file = std::fopen(path, "r");
  if (!file) Fail(std::string("cannot open ") + path + ": " + std::strerror(errno));
  std::vector<Case> cases;
  char line[4096];
  while (std::fgets(line, sizeof line, file)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (text.empty() || text[0] == '#') continue;
    std::size_t tab1 = text.find('\t');
    std::size_t tab2 = tab1 == std::string::npos ? tab1 : text.find('\t', tab1 + 1);
    if (tab2 == std::string::npos) Fail("a case line is not name<TAB>directory<TAB>program: " + text);
    Case c;
    c.name = text.substr(0, tab1);
    c.directory = text.substr(tab1 + 1, tab2 - tab1 - 1);
    c.program = text.substr(tab2 + 1);
    cases.push_back(std::move(c));
  }
  std::fclose(file);
  if (cases.empty()) Fail(std::string("no cases in ") + path);
  return cases;
}

// Runs the case once; gives the wall time in microseconds and the peak RSS.
double RunOnce(const Case& c, long& peak_rss_kib) {
  const double start = NowUs();
  pid_t pid = fork();
  if (pid < 0) Fail(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    if (null < 0 || chdir(c.directory.c_str()) != 0) _exit(126);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    char* argv[] = {const_cast<char*>(c.program.c_str()), nullptr};
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
    Fail("case " + c.name + " (" + c.program + " in " + c.directory + ") did not exit with status 0");
  }
  peak_rss_kib = usage.ru_maxrss;
  return wall;
}

double Quantile(std::vector<double> values, double q) {
  std::sort(values.begin(), values.end());
  const double position = q * static_cast<double>(values.size() - 1);
  const std::size_t below = static_cast<std::size_t>(position);
  const std::size_t above = std::min(below + 1, values.size() - 1);
  const double t = position - static_cast<double>(below);
  return values[below] + t * (values[above] - values[below]);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 200;
  int warmup = 20;
  const char* case_file = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if ((arg == "--runs" || arg == "--warmup") && i + 1 < argc) {
      int value = std::atoi(argv[++i]);
      if (value < 0 || (arg == "--runs" && value < 1)) Fail("bad value for " + arg);
      (arg == "--runs" ? runs : warmup) = value;
    } else if (!case_file && arg[0] != '-') {
      case_file = argv[i];
    } else {
      Fail("usage: bench_runner [--runs N] [--warmup W] CASES");
    }
  }
  if (!case_file) Fail("usage: bench_runner [--runs N] [--warmup W] CASES");
  std::vector<Case> cases = ReadCases(case_file);
  const std::size_t n = cases.size();
  std::vector<std::size_t> order(n);
  for (std::size_t k = 0; k < n; ++k) order[k] = k;
  std::mt19937 shuffle_engine(20240607);  // the same orders on every measurement
  for (int round = 0; round < warmup + runs; ++round) {
    std::shuffle(order.begin(), order.end(), shuffle_engine);
    for (std::size_t k = 0; k < n; ++k) {
      Case& c = cases[order[k]];
      long rss = 0;
      const double wall = RunOnce(c, rss);
      if (round < warmup) continue;
      c.wall_us.push_back(wall);
      c.peak_rss_kib = std::max(c.peak_rss_kib, rss);
    }
  }
  for (const Case& c : cases) {
    std::printf("%s\t%zu\t%.1f\t%.1f\t%.1f\t%.1f\t%ld\n", c.name.c_str(), c.wall_us.size(), Quantile(c.wall_us, 0.5),
                Quantile(c.wall_us, 0.25), Quantile(c.wall_us, 0.75), Quantile(c.wall_us, 0.0), c.peak_rss_kib);
  }
  return 0;
}
