// A program built against the installed xrdcalc library: reads the run
// description named on the command line (input.dat's layout), computes it
// in process with the installed data, and prints what output.dat would
// hold (line feeds only). Build: see CMakeLists.txt beside this file.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include <xrdcalc/xrdcalc.hpp>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s input.dat\n", argv[0]);
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  try {
    const xrd::Calculator calculator;  // <prefix>/lib/xrdcalc/Base
    const xrd::Result result = calculator.compute(xrd::ParseRunInput(text));
    std::fputs(xrd::FormatOutput(result).c_str(), stdout);
    for (const std::string& warning : result.warnings) std::fprintf(stderr, "warning: %s\n", warning.c_str());
  } catch (const xrd::Error& error) {
    std::fprintf(stderr, "error: %s\n", error.what());
    return 1;
  }
  return 0;
}
