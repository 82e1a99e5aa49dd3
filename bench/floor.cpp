// The floor of the benchmark: a C++ program that does nothing but write a
// one-line output.dat, built with the same compiler and flags as xrdcalc.
// What it costs is the price of starting a process and writing a file,
// which no change to xrdcalc can go below.
#include <cstdio>

int main() {
  std::FILE* file = std::fopen("output.dat", "w");
  if (!file) return 1;
  std::fputs("0\n", file);
  return std::fclose(file) == 0 ? 0 : 1;
}
