// xrdcalc entry point: runs input.dat -> output.dat in the working directory.
// Arguments are ignored. On an orderly stop the message goes to standard
// error, a stale output.dat is removed and the exit status is 1.
#include <unistd.h>

#include <cstdio>
#include <new>

#include "driver/error.hpp"
#include "driver/run.hpp"

int main() {
  try {
    xrd::RunProgram();
    return 0;
  } catch (const xrd::Error& error) {
    std::fprintf(stderr, "xrdcalc: %s\n", error.what());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "xrdcalc: out of memory\n");
  }
  unlink("output.dat");
  return 1;
}
